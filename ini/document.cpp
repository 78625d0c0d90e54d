// The document model: sections and items kept in file order in linked lists, so that inserting
// or removing one never moves the others, and hash indexes from case-folded names to the first
// section or item of each name.

#include "ini/document.h"

#include <utility>

namespace ini {

ItemList& Section::itemsForRebuild() {
  index_.clear();
  indexed_ = false;
  return items_;
}

void Section::ensureIndex() {
  if (indexed_) return;
  index_.clear();
  index_.reserve(items_.size());
  for (ItemIter it = items_.begin(); it != items_.end(); ++it) {
    auto [entry, added] = index_.try_emplace(it->name, ItemsNamed{it, {}});
    if (!added) entry->second.more.push_back(it);
  }
  indexed_ = true;
}

Item* Section::findItem(std::string_view itemName) {
  ensureIndex();
  auto entry = index_.find(trim(itemName));
  return entry == index_.end() ? nullptr : &*entry->second.first;
}

ItemIter Section::sortedPosition(std::string_view itemName) {
  // After every item whose name sorts before or equal to the new one, so that items of one
  // name stay in the order they were stored.
  ItemIter it = items_.end();
  while (it != items_.begin()) {
    ItemIter before = std::prev(it);
    if (compareNames(before->name, itemName) <= 0) break;
    it = before;
  }
  return it;
}

void Section::putItem(Item item, bool duplicateChecking, bool sorted) {
  ensureIndex();
  auto entry = index_.find(std::string_view(item.name));
  if (duplicateChecking && entry != index_.end()) {
    ItemsNamed old = std::move(entry->second);
    index_.erase(entry);
    ItemIter stored = items_.insert(old.first, std::move(item));
    items_.erase(old.first);
    for (ItemIter it : old.more) items_.erase(it);
    index_.emplace(stored->name, ItemsNamed{stored, {}});
    return;
  }
  ItemIter position = sorted ? sortedPosition(item.name) : items_.end();
  ItemIter stored = items_.insert(position, std::move(item));
  if (entry == index_.end()) {
    index_.emplace(stored->name, ItemsNamed{stored, {}});
  } else {
    entry->second.more.push_back(stored);
  }
}

void Section::sortItems() {
  // A stable sort: items of one name keep their order, and the first stays first.
  items_.sort([](const Item& a, const Item& b) { return compareNames(a.name, b.name) < 0; });
  indexed_ = false;
  index_.clear();
}

}  // namespace ini

using ini::Item;
using ini::Section;

Section* IniDocument::findSection(std::string_view name) {
  name = ini::trim(name);
  if (lastSection_ != nullptr && ini::sameName(lastSection_->name, name)) return lastSection_;
  auto entry = index_.find(name);
  if (entry == index_.end()) return nullptr;
  lastSection_ = &*entry->second;
  return lastSection_;
}

Section* IniDocument::appendSection(std::string name, int line, std::string comment) {
  return insertSection(sections_.end(), std::move(name), line, std::move(comment));
}

Section* IniDocument::addSection(std::string name, int line, std::string comment) {
  if (!automaticSorting) return appendSection(std::move(name), line, std::move(comment));
  auto position = sections_.end();
  while (position != sections_.begin()) {
    auto before = std::prev(position);
    if (ini::compareNames(before->name, name) <= 0) break;
    position = before;
  }
  return insertSection(position, std::move(name), line, std::move(comment));
}

Section* IniDocument::insertSection(ini::SectionIter position, std::string name, int line,
                                    std::string comment) {
  auto stored = sections_.insert(position, Section{});
  stored->name = std::move(name);
  stored->line = line;
  stored->comment = std::move(comment);
  index_.try_emplace(stored->name, stored);
  touch();
  return &*stored;
}

void IniDocument::putItem(std::string_view sectionName, Item item) {
  Section* section = findSection(sectionName);
  if (section == nullptr) section = addSection(std::string(ini::trim(sectionName)), 0, {});
  section->putItem(std::move(item), duplicateChecking, automaticSorting);
  touch();
}

void IniDocument::sortSections() {
  // Stable, so the first section of each name stays the first and the index stays true.
  sections_.sort(
      [](const Section& a, const Section& b) { return ini::compareNames(a.name, b.name) < 0; });
  for (Section& section : sections_) section.sortItems();
  touch();
}

const Section* IniDocument::nthSection(int n) {
  if (n < 1 || static_cast<size_t>(n) > sections_.size()) return nullptr;
  auto& cursor = sectionCursor_;
  if (cursor.version != version_ || cursor.position > n || cursor.position == 0) {
    cursor = {nullptr, version_, 1, sections_.cbegin()};
  }
  for (; cursor.position < n; ++cursor.position) ++cursor.at;
  return &*cursor.at;
}

const Item* IniDocument::nthItem(const Section* section, int n) {
  const ini::ItemList& items = section->items();
  if (n < 1 || static_cast<size_t>(n) > items.size()) return nullptr;
  auto& cursor = itemCursor_;
  if (cursor.owner != section || cursor.version != version_ || cursor.position > n ||
      cursor.position == 0) {
    cursor = {section, version_, 1, items.cbegin()};
  }
  for (; cursor.position < n; ++cursor.position) ++cursor.at;
  return &*cursor.at;
}
