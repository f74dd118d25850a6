// The filter driver's control codes answered on Linux through libusb-1.0:
// the hubs' vendor requests go to them as control transfers on their default
// pipe, with no driver to install.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ports.h"

namespace tessaro {

// The udev rule shipped with the tool, as messages name it.
constexpr const char* kUdevRuleFile = "platform/linux/60-tessaro-hubs.rules";

std::unique_ptr<IDriver> MakeLibusbDriver();

// The Win32 error code a libusb error stands for, so that every message of
// the engine reads as it does on Windows.
uint32_t Win32ErrorFromLibusb(int error);

// A container ID (the 16 bytes of a BOS Container ID capability) in the
// registry's text form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}": the first
// three fields little-endian, as Windows reads the descriptor.
std::string ContainerIdText(const uint8_t uuid[16]);

// The container ID of a BOS descriptor's bytes (header and capabilities);
// empty when it has none or the bytes do not hold together.
std::string ContainerIdFromBos(const uint8_t* bos, size_t size);

// The line that tells the user how to reach a device node the tool may not
// open.
std::string AccessHint(const std::string& node);

}  // namespace tessaro
