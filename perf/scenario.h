// The benchmark's data: a database and update files of realistic make-up, from a fixed seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/price_item.h"

// What an update-file item is against the database.
enum class ItemFate { kEqual, kChanged, kNew };

// Shares of the items, in parts per 10,000.
struct Shares {
  unsigned new_items;
  unsigned changed_items;
};

// What makers publish: about 1% new items, about 5% changed in one or two fields, the rest
// equal to the database.
const Shares kRealisticShares = {100, 500};

// A catalogue of items in code order, every one decided by the seed and its number alone, so
// that a file of any size taken from it agrees with the one database.
class Scenario {
 public:
  // items: the size of the catalogue; groups: how many database groups it spreads over.
  Scenario(uint64_t seed, size_t items, unsigned groups, Shares shares = kRealisticShares);

  size_t size() const { return items_; }
  ItemFate Fate(size_t i) const;
  // Item i as the maker's file gives it.
  PriceItem FileItem(size_t i) const;
  // Item i as the database holds it (the changed fields altered); not for a new item.
  PriceItem DatabaseItem(size_t i) const;
  // The change bits a comparison must find for item i (kNewItemState for a new one).
  ItemState ExpectedState(size_t i) const;

  // Every step-th of the first count items as update-file text in code page 932: a title
  // line, then one line per item, CR LF.
  std::string FileText(size_t count, size_t step = 1) const;
  // The database records of the catalogue, group by group in code order.
  void DatabaseGroups(std::vector<std::vector<PriceItem>>* groups) const;

 private:
  uint64_t Random(size_t i, unsigned salt) const;
  Code CodeOf(size_t i) const;

  uint64_t seed_;
  size_t items_;
  unsigned groups_;
  size_t per_group_;
  Shares shares_;
};

// One update-file line for item, as the maker writes it (no line end).
std::string ItemLine(const PriceItem& item);
