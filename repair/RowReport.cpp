#include "repair/RowReport.h"

#include <algorithm>
#include <map>

#include "os/CodePage.h"
#include "os/Files.h"
#include "os/Format.h"

bool TableChange::MayHaveLostRows() const {
  return emptied || !before || !after || *after < *before;
}

std::vector<TableChange> RowReport::Tables() const {
  std::map<std::string, TableChange> byName;
  for (const auto& table : before_.tables) {
    TableChange& change = byName[table.table];
    change.table = table.table;
    change.before = table.rows;
  }
  for (const auto& table : after_.tables) {
    TableChange& change = byName[table.table];
    change.table = table.table;
    change.after = table.rows;
  }
  for (const std::string& name : emptied_) {
    if (auto found = byName.find(name); found != byName.end()) {
      found->second.emptied = true;
      if (auto added = placeholders_.find(name); added != placeholders_.end())
        found->second.placeholders = added->second;
      if (auto copied = partlyCopied_.find(name); copied != partlyCopied_.end())
        found->second.partly = copied->second;
    }
  }
  std::vector<TableChange> tables;
  for (auto& [name, change] : byName)
    tables.push_back(std::move(change));
  return tables;
}

std::vector<TableChange> RowReport::Losses() const {
  std::vector<TableChange> losses = Tables();
  std::erase_if(losses, [](const TableChange& change) { return !change.MayHaveLostRows(); });
  return losses;
}

MissingCounts RowReport::Missing() const {
  return {before_.error.has_value(), after_.error.has_value()};
}

namespace rowreporttext {

namespace {

// A box taller than the screen is no use; the file has them all.
constexpr std::size_t kBoxTables = 10;

std::string Figure(const std::optional<std::int64_t>& rows) {
  return rows ? std::to_string(*rows) : std::string("не удалось подсчитать");
}

std::string EmptiedNote(const TableChange& change) {
  if (!change.emptied)
    return "";
  if (change.partly && change.partly->copied > 0) {
    const PartlyCopied& partly = *change.partly;
    return (partly.finished
                ? Format(" (таблица читалась не полностью: перенесено записей %d, не удалось "
                         "перенести %d",
                         {partly.copied, partly.lost})
                : Format(" (таблица читалась не полностью: перенесено записей %d, остальные "
                         "прочитать не удалось",
                         {partly.copied})) +
           (change.placeholders > 0
                ? Format("; добавлено записей-заглушек: %d", {change.placeholders})
                : std::string()) +
           ")";
  }
  // Its figure after the repair counts nothing but those placeholders.
  if (change.placeholders > 0)
    return Format(
        " (таблица не читалась и восстановлена без записей; добавлено записей-заглушек: %d)",
        {change.placeholders});
  return " (таблица не читалась и восстановлена без записей)";
}

std::string Line(const TableChange& change) {
  return Format("%s: до ремонта %s, после ремонта %s",
                {change.table, Figure(change.before), Figure(change.after)}) +
         EmptiedNote(change);
}

std::string MissingLine(MissingCounts missing) {
  if (missing.before && missing.after)
    return "Число записей до и после ремонта подсчитать не удалось.\r\n";
  if (missing.before)
    return "Число записей до ремонта подсчитать не удалось.\r\n";
  if (missing.after)
    return "Число записей после ремонта подсчитать не удалось.\r\n";
  return "";
}

}  // namespace

std::string Record(const TableChange& change) {
  return Format("Таблица %s: записей до ремонта %s, после ремонта %s",
                {change.table, Figure(change.before), Figure(change.after)}) +
         EmptiedNote(change);
}

std::string BoxText(const std::vector<TableChange>& losses, const std::string& reportFile,
                    MissingCounts missing) {
  // Without a single figure there is no table to name, and silence would read as "nothing lost".
  std::string text =
      losses.empty()
          ? "Ремонт базы данных завершен, но проверить, не потеряны ли записи, не удалось.\r\n" +
                MissingLine(missing) + "Проверьте данные и при необходимости введите их заново.\r\n"
          : "Ремонт базы данных завершен, но в некоторых таблицах записи могли быть потеряны.\r\n" +
                MissingLine(missing) +
                "Проверьте данные этих таблиц и при необходимости введите их заново:\r\n";
  for (std::size_t i = 0; i < losses.size() && i < kBoxTables; ++i)
    text += Line(losses[i]) + "\r\n";
  if (losses.size() > kBoxTables) {
    text += Format("и еще таблиц: %d (полный список в отчете)\r\n",
                   {static_cast<std::int64_t>(losses.size() - kBoxTables)});
  }
  if (!reportFile.empty())
    text += "Отчет сохранен в файле:\r\n" + reportFile;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

std::string FileText(const std::vector<TableChange>& tables, const std::string& databaseFile,
                     const std::string& safetyCopy, const std::string& timeStamp,
                     MissingCounts missing) {
  std::string text = "Отчет о ремонте базы данных\r\n";
  text += "Дата ремонта: " + timeStamp + "\r\n";
  text += "База данных: " + databaseFile + "\r\n";
  text += "Копия поврежденной базы данных: " + safetyCopy + "\r\n\r\n";
  text += MissingLine(missing);
  text += "Записи могли быть потеряны в таблицах:\r\n";
  for (const TableChange& change : tables)
    if (change.MayHaveLostRows())
      text += Line(change) + "\r\n";
  text += "\r\nЧисло записей во всех таблицах:\r\n";
  for (const TableChange& change : tables)
    text += Line(change) + "\r\n";
  return text;
}

std::string FilePath(const std::string& safetyCopy) {
  const std::string path = os::ChangeFileExt(safetyCopy, ".txt");
  // A copy that itself ends in .txt must never be overwritten by its report.
  return os::SameTextLocale(path, safetyCopy) ? safetyCopy + ".txt" : path;
}

}  // namespace rowreporttext
