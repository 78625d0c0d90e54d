#pragma once
// The in-memory INI document: sections and items in file order, with a case-insensitive hash
// index per document and per section that leads a lookup straight to the first section or item
// of a name, however many the file holds.

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ini/names.h"

namespace ini {

struct Item {
  std::string name;     // trimmed
  std::string value;    // without the surrounding double quotes of a quoted value
  std::string comment;  // comment lines that directly preceded the item, joined with "\r\n"
  int line = 0;
  bool quoted = false;
};

using ItemList = std::list<Item>;
using ItemIter = ItemList::iterator;

class Section {
 public:
  std::string name;
  std::string comment;
  int line = 0;

  const ItemList& items() const { return items_; }

  // Direct access for the reader, which appends and joins items before anyone looks them up.
  // Any change made through it drops the index; the next lookup rebuilds it.
  ItemList& itemsForRebuild();

  // The first item of that name, or null.
  Item* findItem(std::string_view itemName);

  // Stores `item`: with duplicate checking, every item of its name is replaced by it at the
  // position of the first; otherwise it is appended (in name order when `sorted`).
  void putItem(Item item, bool duplicateChecking, bool sorted);

  void sortItems();

 private:
  // Every item of one name, in file order; the key of the index views the first one's name.
  struct ItemsNamed {
    ItemIter first;
    std::vector<ItemIter> more;
  };

  void ensureIndex();
  ItemIter sortedPosition(std::string_view itemName);

  ItemList items_;
  std::unordered_map<std::string_view, ItemsNamed, NameHash, NameEqual> index_;
  bool indexed_ = false;
};

using SectionList = std::list<Section>;
using SectionIter = SectionList::iterator;

struct Tokens {
  char sectionStart = '[';
  char sectionEnd = ']';
  std::string separator = "=";
  std::string commentMarker = ";";
};

}  // namespace ini

struct IniDocument {
  explicit IniDocument(bool sorting) : automaticSorting(sorting) {}

  const ini::SectionList& sections() const { return sections_; }

  // The first section of that name, or null. The section of the previous lookup is tried first.
  ini::Section* findSection(std::string_view name);

  // Appends a section (in name order when automatic sorting is on) and returns it.
  ini::Section* addSection(std::string name, int line, std::string comment);
  // Appends a section in file order, as the reader does; sorting comes after the whole read.
  ini::Section* appendSection(std::string name, int line, std::string comment);

  // Stores an item in the first section of that name, creating the section when there is none
  // (see Section::putItem for where the item goes).
  void putItem(std::string_view section, ini::Item item);

  void sortSections();

  // Walks the sections and the items of one section by 1-based position. Consecutive positions
  // cost one step each, so listing a whole document is linear.
  const ini::Section* nthSection(int n);
  const ini::Item* nthItem(const ini::Section* section, int n);

  // Counts every change, so that position walks know when to start again.
  void touch() { ++version_; }

  bool automaticSorting;
  bool duplicateChecking = true;
  ini::Tokens tokens;
  std::string leadingComment;
  std::string trailingComment;
  std::string stringBuffer;  // scratch for unescaped string values
  int lineOfLastAccess = 0;

 private:
  // Inserts a section before `position`; the first section of a name is the one found by it.
  ini::Section* insertSection(ini::SectionIter position, std::string name, int line,
                              std::string comment);

  template <typename Iter>
  struct Cursor {
    const void* owner = nullptr;
    uint64_t version = ~0ull;
    int position = 0;
    Iter at;
  };

  ini::SectionList sections_;
  std::unordered_map<std::string_view, ini::SectionIter, ini::NameHash, ini::NameEqual> index_;
  ini::Section* lastSection_ = nullptr;
  uint64_t version_ = 0;
  Cursor<ini::SectionList::const_iterator> sectionCursor_;
  Cursor<ini::ItemList::const_iterator> itemCursor_;
};
