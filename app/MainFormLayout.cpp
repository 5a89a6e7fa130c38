#include "app/MainFormLayout.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "server/FixedPaths.h"

namespace layout {

namespace {

constexpr FontSpec kWindowFont{"Tahoma", 13, false, kWindowText};
constexpr FontSpec kHeadingFont{"Tahoma", 13, true, kBlue};
constexpr FontSpec kButtonFont{"Tahoma", 19, false, kWindowText};

// A one-line label of the first tab: left 3, 16 high, as wide as the sheet allows.
ControlSpec Line(const char* name, int top, const char* text) {
  return {name, ControlKind::Label, "TabSheet1", {3, top, 590, 16}, text, kWindowFont, false};
}

std::vector<ControlSpec> MakeComponents() {
  return {
      {"PageControl1", ControlKind::PageControl, "", {0, 48, 603, 343}, "", kWindowFont},
      {"TabSheet1", ControlKind::TabSheet, "PageControl1", {}, "1. Проверка", kWindowFont},
      {"TabSheet2", ControlKind::TabSheet, "PageControl1", {}, "2. Ремонт", kWindowFont},
      {"Panel1", ControlKind::Panel, "", {0, 0, 603, 48}, "", kWindowFont},
      {"FilenameEdit1", ControlKind::FilenameEdit, "Panel1", {4, 19, 445, 24}, "", kWindowFont},
      {"Label1",
       ControlKind::Label,
       "Panel1",
       {8, 0, 202, 16},
       "Выберите файл базы данных:",
       kHeadingFont},
      Line("Label2", 5,
           "Внимание! Если у Вас произошло повреждение базы данных, то не следует винить в этом"),
      Line("Label3", 21, "Velmar и разработчиков Norwin. СУБД FireBird также в этом не виновата!"),
      {"Label4",
       ControlKind::Label,
       "TabSheet1",
       {3, 43, 554, 80},
       "Скорее всего база данных повредилась из-за внезапного отключения питания, вызванного "
       "неосторожными действий оператора, либо сбоем устройства бесперебойного питания, либо "
       "сбоем Вашего компьютера (может произойти сбой как в аппаратной части (винчестер, "
       "оперативная память, процессор), так и в самой операционной системе (например из-за "
       "криво установленных или неправильно работающих драйверов)).",
       kWindowFont,
       true},
      Line("Label5", 123,
           "Данная утилита в большинстве случаев сможет отремонтировать поврежденную базу данных."),
      Line("Label6", 227, "Для этого нажмите кнопку \"ПРОВЕРИТЬ\""),
      Line("Label7", 205, "Прежде всего следует ответить на вопрос: повреждена ли база данных."),
      Line("Label8", 140,
           "Однако может оказаться так, что база данных восстановлению не подлежит. Если у Вас "),
      Line("Label9", 157,
           "приобретена система резервирования (и она регулярно делает резервную копию), то Вы "
           "можете"),
      Line("Label10", 175,
           "восстановить базу из резервной копии, однако последние данные Вы потеряете."),
      {"btnCheckDB",
       ControlKind::Button,
       "TabSheet1",
       {184, 256, 201, 41},
       "Проверить",
       kButtonFont},
      {"FormStorage1", ControlKind::Invisible, "", {}, "", kWindowFont},
      {"Label11",
       ControlKind::Label,
       "TabSheet2",
       {8, 8, 561, 64},
       "Внимание! Ремонт базы нужен только в том случае, если проверка выявила ошибки. Перед "
       "началом ремонта программа предложит сохранить копию файла поврежденной базы данных. Это "
       "необходимо по причине того, что ремонт является рискованной операцией, т.е. если во "
       "время ремонта произойдет какой-либо сбой, то можно потерять все данные в базе данных.",
       kWindowFont,
       true},
      {"btnRepairDB",
       ControlKind::Button,
       "TabSheet2",
       {184, 254, 200, 40},
       "Починить",
       kButtonFont},
      {"SaveDialog1", ControlKind::Invisible, "", {}, "", kWindowFont},
  };
}

}  // namespace

const FormSpec& Form1() {
  static const FormSpec form{"Form1", "Программа для ремонта базы данных Velmar", 603, 391,
                             kWindowFont};
  return form;
}

const std::vector<ControlSpec>& Components() {
  static const std::vector<ControlSpec> components = MakeComponents();
  return components;
}

const ControlSpec& Component(std::string_view name) {
  for (const ControlSpec& c : Components()) {
    if (name == c.name)
      return c;
  }
  throw std::out_of_range("no component " + std::string(name));
}

std::vector<const ControlSpec*> ChildrenOf(std::string_view parent) {
  std::vector<const ControlSpec*> children;
  for (const ControlSpec& c : Components()) {
    if (parent == c.parent)
      children.push_back(&c);
  }
  return children;
}

Rect TabSheetArea(const Rect& pageControl) {
  // A 96-dpi tab control: a 24-pixel tab strip, then a frame of 4 pixels on each side.
  return {4, 24, pageControl.width - 8, pageControl.height - 28};
}

int RoomToGrow(const ControlSpec& c, int parentHeight) {
  int limit = parentHeight;
  for (const ControlSpec* other : ChildrenOf(c.parent)) {
    const Rect& o = other->bounds;
    const bool below = o.top >= c.bounds.Bottom();
    const bool sideBySide = o.Right() <= c.bounds.left || o.left >= c.bounds.Right();
    if (other != &c && below && !sideBySide && o.width > 0)
      limit = std::min(limit, o.top);
  }
  return std::max(c.bounds.height, limit - c.bounds.top);
}

std::string InitialFileName() {
  return paths::DefaultDatabase();
}

SaveDialogSettings SaveDialog1() {
  SaveDialogSettings s;
  s.title = "Укажите файл для сохранения копии базы данных";
  s.filterName = "База данных (*.FDB)";
  s.filterPattern = "*.FDB";
  s.defaultExt = "*.FDB";
  s.fileName = "VELMAR.FDB";
  s.overwritePrompt = true;
  return s;
}

SaveDialogSettings WithSaveDialog1Defaults(SaveDialogSettings requested) {
  const SaveDialogSettings defaults = SaveDialog1();
  auto fill = [](std::string& field, const std::string& fallback) {
    if (field.empty())
      field = fallback;
  };
  fill(requested.title, defaults.title);
  fill(requested.filterName, defaults.filterName);
  fill(requested.filterPattern, defaults.filterPattern);
  fill(requested.defaultExt, defaults.defaultExt);
  fill(requested.fileName, defaults.fileName);
  return requested;
}

}  // namespace layout
