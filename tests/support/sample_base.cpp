#include "sample_base.h"

#include <string>

#include "model/document.h"
#include "model/value_types.h"

namespace {

// "Насос" (pump), "Клапан" (valve), "Датчик" (sensor), "Шкаф" (cabinet) in windows-1251.
const char* const kObjectNames[] = {"\xCD\xE0\xF1\xEE\xF1",
                                    "\xCA\xEB\xE0\xEF\xE0\xED",
                                    "\xC4\xE0\xF2\xF7\xE8\xEA",
                                    "\xD8\xEA\xE0\xF4",
                                    "Controller",
                                    "Drive"};
const char* const kAtomNames[] = {"AI", "AO", "DI", "DO", "PID", "Timer"};

struct PropTemplate {
  const char* name;
  int type;
};
const PropTemplate kProps[] = {{"Value", kTypeFloat},    {"DecPoint", kTypeShort},
                               {"Setpoint", kTypeShort}, {"Mode", kTypeInt},
                               {"State", kTypeByte},     {"Mask", kTypeBin},
                               {"Stamp", kTypeDateTime}, {"Gain", kTypeDouble},
                               {"Source", kTypeLinkTo},  {"Script", kTypeFile}};

class Builder {
 public:
  Builder(CTarnelDoc& doc, int records) : doc_(doc), budget_(records) {}

  void Run() {
    doc_.OnNewDocument();
    int n = 0;
    while (Left() > 0) {
      CRecord* group = doc_.Groups().At(size_t(n % 3));
      CObj* cabinet = MakeObject(group, n);
      for (int k = 0; k < 3 && cabinet && Left() > 0; ++k) {
        CObj* device = MakeObject(cabinet, n * 3 + k);
        for (int a = 0; a < 4 && device && Left() > 0; ++a) MakeAtom(device, a);
      }
      ++n;
    }
    doc_.RebuildTree();
  }

 private:
  int Left() const { return budget_ - doc_.Ids().Count(); }

  CObj* MakeObject(CRecord* parent, int n) {
    if (Left() <= 0) return nullptr;
    CObj* o = doc_.NewObject(parent);
    o->name = std::string(kObjectNames[n % 6]) + "_" + std::to_string(n);
    return o;
  }

  void MakeAtom(CObj* parent, int a) {
    CAtom* atom = doc_.NewAtom(parent);
    atom->name = std::string(kAtomNames[a % 6]) + "_" + std::to_string(atom->id);
    atom->type = int8_t(a * 7 - 10);
    for (const PropTemplate& prop : kProps) {
      if (Left() <= 0) break;
      CPropertyItem* p = doc_.NewProperty(atom);
      p->name = prop.name;
      p->typeCode = uint8_t(prop.type);
      p->flags = uint8_t(p->id % 64);
      p->eoc = p->id % 5 == 0;
      p->valueText = ValueFor(*p);
      p->UpdateRawFromText();
      if (prop.type == kTypeLinkTo)
        lastLinkable_ = p->id;
      else
        lastLinkable_ = lastValue_, lastValue_ = p->id;
    }
  }

  std::string ValueFor(const CPropertyItem& p) {
    switch (p.typeCode) {
      case kTypeFloat:
      case kTypeDouble:
        return std::to_string(int(p.id % 1000) - 500) + ".250";
      case kTypeShort:
        return p.name == "DecPoint" ? std::to_string(p.id % 7)
                                    : std::to_string(int(p.id % 60000) - 30000);
      case kTypeLinkTo:
        return std::to_string(lastLinkable_);
      case kTypeFile:
        return "C:\\\xCF\xF0\xEE\xE5\xEA\xF2\\script_" + std::to_string(p.id) + ".txt";
      default:
        return std::to_string(p.id * 37u % 200u);
    }
  }

  CTarnelDoc& doc_;
  int budget_;
  uint32_t lastLinkable_ = 0;
  uint32_t lastValue_ = 0;
};

}  // namespace

void BuildSampleBase(CTarnelDoc& doc, int records) {
  Builder(doc, records).Run();
}

std::string Cp1251Text(size_t n) {
  static const char kLetters[] = "Abc\xC0\xE1\xE2\xA8\xB8xyz\xDF\xFF_09";
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = kLetters[i % (sizeof kLetters - 1)];
  return s;
}
