#include "grid/vaSpread.h"
#include "support/basFunctions.h"

namespace {

int Order(bool ascending) {
  return ascending ? vaSpread::SortKeyOrderAscending : vaSpread::SortKeyOrderDescending;
}

}  // namespace

void mSb_SortSpread(vaSpread* grid, int key1, bool asc1, int key2, bool asc2, int key3, bool asc3) {
  grid->SetCol(-1);
  grid->SetRow(-1);
  grid->SetCol2(-1);
  grid->SetRow2(-1);
  grid->SetBlockMode(true);
  grid->SetSortBy(vaSpread::SortByRow);
  grid->SetSortKey(1, key1);
  grid->SetSortKeyOrder(1, Order(asc1));
  if (key2 != 0) {
    grid->SetSortKey(2, key2);
    grid->SetSortKeyOrder(2, Order(asc2));
  }
  if (key3 != 0) {
    grid->SetSortKey(3, key3);
    grid->SetSortKeyOrder(3, Order(asc3));
  }
  grid->SetAction(vaSpread::ActionSort);
  grid->SetBlockMode(false);
  grid->Refresh();
}
