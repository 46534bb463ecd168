// Field layouts of the record classes inside an archive.
#include <algorithm>

#include "archive.h"
#include "archive_format.h"
#include "records.h"

using namespace archive;

namespace {

// Lists grow past this as their elements actually arrive: a count in a hostile file must not
// reserve memory at every level of nesting.
constexpr uint32_t kReserveLimit = 4096;

constexpr unsigned kChildClasses = 1u << kClassObj | 1u << kClassAtom;

void WriteChildren(ArchiveWriter& ar, const CChildHolder& holder) {
  ar.WriteCount(uint32_t(holder.GetChildCount()));
  for (CRecord* c : holder.children) ar.WriteObjectRef(c);
}

void ReadChildren(ArchiveReader& ar, CChildHolder& holder, int depth) {
  uint32_t n = ar.ReadCount();
  holder.children.Reserve(std::min<uint32_t>(n, kReserveLimit));
  for (uint32_t i = 0; i < n; ++i)
    if (auto child = ar.ReadObjectRef(kChildClasses, depth + 1)) holder.AddChild(std::move(child));
}

}  // namespace

void WriteRecordFields(ArchiveWriter& ar, CRecord& record) {
  switch (record.Kind()) {
    case kKindGroup:
    case kKindObject:
      ar.WriteString(record.name);
      ar.WriteDword(record.id);
      WriteChildren(ar, static_cast<CChildHolder&>(record));
      break;
    case kKindAtom: {
      auto& atom = static_cast<CAtom&>(record);
      ar.WriteString(atom.name);
      ar.WriteDword(atom.id);
      ar.WriteByte(uint8_t(atom.type));
      ar.WriteCount(uint32_t(atom.GetPropertyCount()));
      for (CPropertyItem* p : atom.properties) ar.WriteObjectRef(p);
      break;
    }
    case kKindProperty: {
      auto& p = static_cast<CPropertyItem&>(record);
      p.UpdateRawFromText();
      ar.WriteByte(p.typeCode);
      ar.WriteDword(p.id);
      ar.WriteString(p.name);
      ar.WriteByte(p.flags);
      ar.WriteByte(p.eoc ? 1 : 0);
      ar.WriteString(p.valueText);
      ar.WriteDword(p.GetRawValue());
      break;
    }
    default:
      break;
  }
}

std::unique_ptr<CRecord> ReadRecordFields(ArchiveReader& ar, int classId, int schema, int depth) {
  switch (classId) {
    case kClassBase:
    case kClassObj: {
      std::unique_ptr<CChildHolder> r;
      if (classId == kClassBase)
        r = std::make_unique<CBase>();
      else
        r = std::make_unique<CObj>();
      r->name = ar.ReadString();
      r->id = ar.ReadDword();
      ReadChildren(ar, *r, depth);
      return r;
    }
    case kClassAtom: {
      auto atom = std::make_unique<CAtom>();
      atom->name = ar.ReadString();
      atom->id = ar.ReadDword();
      atom->type = int8_t(ar.ReadByte());
      uint32_t n = ar.ReadCount();
      atom->properties.Reserve(std::min<uint32_t>(n, kReserveLimit));
      for (uint32_t i = 0; i < n; ++i) {
        auto child = ar.ReadObjectRef(1u << kClassProperty, depth + 1);
        if (child)
          atom->AddProperty(
              std::unique_ptr<CPropertyItem>(static_cast<CPropertyItem*>(child.release())));
      }
      return atom;
    }
    case kClassProperty: {
      auto p = std::make_unique<CPropertyItem>();
      p->typeCode = ar.ReadByte();
      p->id = ar.ReadDword();
      p->name = ar.ReadString();
      p->flags = ar.ReadByte();
      p->eoc = ar.ReadByte() != 0;
      std::string text = ar.ReadString();
      p->InitRawValue(ar.ReadDword());
      p->UpdateTextFromRaw(text);
      if (schema == kPropertySchemaWithLinks) {
        uint32_t n = ar.ReadCount();
        for (uint32_t i = 0; i < n; ++i) {
          uint32_t source = 0;
          if (ar.ReadLinkRef(&source, depth + 1)) p->incomingLinks.push_back({source});
        }
      }
      return p;
    }
    default:
      ar.Fail("no record class");
  }
}
