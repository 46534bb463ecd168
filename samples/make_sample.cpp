// Writes samples/sample.kdl, the demonstration base that scripts/run.sh opens and serves: a
// small plant with controllers, input and output modules, control loops and a network part,
// with every property type, LINK_TO links between the parts and "DecPoint" scaling. An operator
// panel carries a "Links" property naming the link template beside the program, so the links
// editor can be tried at once; the template is written too when a second file is given.
//
//   kandrel_make_sample OUT.kdl [LINKS_TEMPLATE.xml]
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "model/cp1251.h"
#include "model/document.h"
#include "model/value_types.h"

namespace {

std::string W(const std::string& utf8) {
  std::string out;
  Utf8ToCp1251(utf8, &out);
  return out;
}

class Builder {
 public:
  explicit Builder(CTarnelDoc& doc) : doc_(doc) {}

  CObj* Object(CRecord* parent, const std::string& name) {
    CObj* o = doc_.NewObject(parent);
    o->name = W(name);
    return o;
  }
  CAtom* Atom(CRecord* parent, const std::string& name, int type) {
    CAtom* a = doc_.NewAtom(parent);
    a->name = W(name);
    a->type = int8_t(type);
    return a;
  }
  CPropertyItem* Prop(CAtom* atom, const std::string& name, int type, const std::string& value,
                      uint8_t flags = 0) {
    CPropertyItem* p = doc_.NewProperty(atom);
    p->name = W(name);
    p->typeCode = uint8_t(type);
    p->valueText = W(value);
    p->flags = flags;
    p->UpdateRawFromText();
    return p;
  }
  CPropertyItem* Link(CAtom* atom, const std::string& name, const CPropertyItem* target,
                      bool eoc = false) {
    CPropertyItem* p = Prop(atom, name, kTypeLinkTo, std::to_string(target->id));
    p->eoc = eoc;
    return p;
  }

 private:
  CTarnelDoc& doc_;
};

// The link template's file name, as the panel's "Links" property names it.
constexpr char kLinksTemplate[] = "panel_links.xml";
constexpr int kPanelIndicators = 3;

// One template atom per panel indicator: its "Температура" links to the picked channel's
// "Значение", its "Состояние" to the channel's "Состояние".
bool WriteLinksTemplate(const char* path) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1251\" ?>\r\n<PartQuorvantis>\r\n";
  auto property = [&](const std::string& name, const std::string& target) {
    xml += "<Property Name=\"" + W(name) +
           "\" ID=\"0\" Type=\"LINK_TO\" B1=\"0\" B2=\"0\" B3=\"0\" B4=\"0\" B5=\"0\" "
           "B6=\"0\">\r\n" +
           W(target) + "\r\n</Property>\r\n";
  };
  for (int i = 1; i <= kPanelIndicators; ++i) {
    xml += "<Atom Name=\"" + W("Индикатор " + std::to_string(i)) + "\" ID=\"0\" Type=\"0\">\r\n";
    property("Температура", "Значение");
    property("Состояние", "Состояние");
    xml += "</Atom>\r\n";
  }
  xml += "</PartQuorvantis>\r\n";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << xml;
  out.close();
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: kandrel_make_sample OUT.kdl [LINKS_TEMPLATE.xml]\n");
    return 2;
  }
  CTarnelDoc doc;
  doc.OnNewDocument();  // "Hardware", "Logic", "Network"
  CBase* hardware = doc.Groups().At(0);
  CBase* logic = doc.Groups().At(1);
  CBase* network = doc.Groups().At(2);
  Builder b(doc);

  // Hardware: two controllers, each with analogue inputs, discrete inputs and outputs.
  std::vector<CPropertyItem*> temperatures, valves, pumps;
  const char* const kControllers[] = {"Контроллер КП-1 (котельная)", "Контроллер КП-2 (насосная)"};
  for (int c = 0; c < 2; ++c) {
    CObj* ctl = b.Object(hardware, kControllers[c]);
    CAtom* info = b.Atom(ctl, "Паспорт", 0);
    b.Prop(info, "Серийный номер", kTypeInt, std::to_string(204511 + c * 17));
    b.Prop(info, "Прошивка", kTypeFile, c ? "firmware/kp2_v3.1.bin" : "firmware/kp1_v3.1.bin");
    b.Prop(info, "Дата ввода", kTypeDateTime, std::to_string(1735689600 + c * 86400 * 40));
    b.Prop(info, "Контрольная сумма", kTypeBin, std::to_string(0xA5 - c));

    CObj* ai = b.Object(ctl, "Модуль AI-8 (аналоговый ввод)");
    for (int ch = 1; ch <= 8; ++ch) {
      CAtom* a = b.Atom(ai, "Канал " + std::to_string(ch), 1);
      b.Prop(a, "DecPoint", kTypeShort, "4");  // one decimal place for SHORT values
      CPropertyItem* v =
          b.Prop(a, "Значение", kTypeShort, std::to_string(180 + ch * 37 + c * 11), 0x03);
      b.Prop(a, "Нижний предел", kTypeFloat, "0.000");
      b.Prop(a, "Верхний предел", kTypeFloat, ch <= 4 ? "150.000" : "16.000");
      b.Prop(a, "Состояние", kTypeByte, "0", 0x20);
      temperatures.push_back(v);
    }
    CObj* di = b.Object(ctl, "Модуль DI-16 (дискретный ввод)");
    for (int ch = 1; ch <= 6; ++ch) {
      CAtom* a = b.Atom(di, "Вход " + std::to_string(ch), 2);
      b.Prop(a, "Состояние", kTypeBin, ch % 3 == 0 ? "1" : "0", 0x01);
      b.Prop(a, "Счётчик срабатываний", kTypeInt, std::to_string(ch * 113 + c * 7));
    }
    CObj* dout = b.Object(ctl, "Модуль DO-8 (дискретный вывод)");
    for (int ch = 1; ch <= 4; ++ch) {
      CAtom* a = b.Atom(dout, (c ? "Насос Н-" : "Задвижка З-") + std::to_string(ch), 3);
      CPropertyItem* cmd = b.Prop(a, "Команда", kTypeByte, "0", 0x06);
      b.Prop(a, "Время последнего пуска", kTypeDateTime, std::to_string(1767225600 + ch * 3600));
      (c ? pumps : valves).push_back(cmd);
    }
  }

  // Logic: control loops whose inputs and outputs are links into the hardware.
  CObj* loops = b.Object(logic, "Контуры регулирования");
  const char* const kLoops[] = {"Температура подачи", "Температура обратки", "Давление в сети",
                                "Уровень в баке"};
  for (int i = 0; i < 4; ++i) {
    CObj* loop = b.Object(loops, kLoops[i]);
    CAtom* pid = b.Atom(loop, "ПИД-регулятор", 10);
    b.Prop(pid, "Kp", kTypeDouble, i % 2 ? "1.250" : "0.800");
    b.Prop(pid, "Ti, с", kTypeFloat, "45.000");
    b.Prop(pid, "Td, с", kTypeFloat, "5.000");
    b.Prop(pid, "Уставка", kTypeFloat, i < 2 ? "70.000" : "4.500", 0x01);
    b.Link(pid, "Вход", temperatures[size_t(i)]);
    b.Link(pid, "Выход", i < 2 ? valves[size_t(i)] : pumps[size_t(i - 2)]);
    // Reads the end of the chain: the value of the hardware channel the input links to.
    CPropertyItem* shown = b.Prop(pid, "Показание", kTypeLinkTo, "0");
    shown->valueText = std::to_string(pid->GetProperty(4)->id);
    shown->eoc = true;
    CAtom* alarm = b.Atom(loop, "Сигнализация", 11);
    b.Prop(alarm, "Порог", kTypeFloat, i < 2 ? "95.000" : "6.000");
    b.Prop(alarm, "Гистерезис", kTypeFloat, "1.500");
    b.Link(alarm, "Контролируемое значение", temperatures[size_t(i)]);
    b.Prop(alarm, "Активна", kTypeBin, "0", 0x01);
  }
  CObj* schedule = b.Object(logic, "Расписание");
  for (int d = 0; d < 7; ++d) {
    static const char* const kDays[] = {"Понедельник", "Вторник", "Среда",      "Четверг",
                                        "Пятница",     "Суббота", "Воскресенье"};
    CAtom* day = b.Atom(schedule, kDays[d], 20);
    b.Prop(day, "Начало", kTypeDateTime, std::to_string(6 * 3600 + (d >= 5 ? 3600 : 0)));
    b.Prop(day, "Конец", kTypeDateTime, std::to_string(22 * 3600));
    b.Prop(day, "Ночное снижение", kTypeFloat, d >= 5 ? "5.000" : "3.000");
  }

  // An operator panel whose indicators are linked with the links editor: select its "Links"
  // property, click into the editor, pick a channel atom in the tree and tick an indicator.
  CObj* panel = b.Object(logic, "Щит оператора");
  CAtom* settings = b.Atom(panel, "Настройки", 0);
  b.Prop(settings, "Links", kTypeFile, kLinksTemplate);
  for (int i = 1; i <= kPanelIndicators; ++i) {
    CAtom* ind = b.Atom(panel, "Индикатор " + std::to_string(i), 30);
    if (i == 1)
      b.Link(ind, "Температура", temperatures[0]);  // already linked: ticked when loaded
    else
      b.Prop(ind, "Температура", kTypeShort, "0");
    b.Prop(ind, "Состояние", kTypeByte, "0");
  }

  // Network: the server side and the operator stations.
  CObj* server = b.Object(network, "Сервер ОРС");
  CAtom* port = b.Atom(server, "Порт", 0);
  b.Prop(port, "Номер", kTypeInt, "6000");
  b.Prop(port, "Таймаут, мс", kTypeInt, "5000");
  b.Prop(port, "Журнал", kTypeFile, "logs/opc_server.log");
  CObj* stations = b.Object(network, "АРМ операторов");
  for (int s = 1; s <= 3; ++s) {
    CObj* st = b.Object(stations, "АРМ-" + std::to_string(s));
    CAtom* addr = b.Atom(st, "Адрес", 0);
    b.Prop(addr, "IP", kTypeInt, std::to_string((192 << 24) + (168 << 16) + (1 << 8) + 10 + s));
    b.Prop(addr, "Мнемосхема", kTypeFile, "screens/boiler_" + std::to_string(s) + ".scr");
    b.Link(addr, "Главный параметр", temperatures[size_t(s - 1)]);
  }

  doc.RebuildTree();
  try {
    doc.SaveFile(argv[1]);
  } catch (const DocumentFileError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 3;
  }
  if (argc == 3 && !WriteLinksTemplate(argv[2])) {
    std::fprintf(stderr, "%s: cannot write the link template\n", argv[2]);
    return 3;
  }
  std::printf("%s: %d records\n", argv[1], doc.Ids().Count());
  return 0;
}
