// What the main dialog and the multi-hub dialog's pages share for opening
// an image and dumping a hub's store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"
#include "ui/toolkit/dialog.h"

namespace ui {

// The Open request for a firmware image: .bin, .rom or .sum.
FileRequest ImageOpenRequest();

// A .sum or .rom (any case) carries its configuration block already, so no
// .eep goes with it.
bool ImageCarriesConfig(const std::string& ext);

// Reads the whole store of the hub at hubIndex: the store size of its type,
// 0x4000 bytes for a type without one.
bool ReadStoreForDump(CHubIsp& isp, int hubType, int hubIndex, std::vector<uint8_t>& store);

// The Save As request for a dump, proposing a name after the store's
// firmware version.
FileRequest DumpFileRequest(const std::vector<uint8_t>& store, int hubType);

}  // namespace ui
