// A readable text form of configuration blocks and sample images, shared by
// `tessaro-cli eep show` / `eep make` and the image builder `tessaro-image`.
//
// A description is a list of "key = value" lines.  '#' starts a comment
// (outside double quotes); blank lines are ignored.  "[image]" starts the
// keys of a sample firmware image and "[config]" those of a configuration
// block; lines before any section header belong to "[config]".  The keys are
// documented in docs/files.md.
#pragma once

#include <string>
#include <vector>

#include "files/ConfigBlock.h"

struct DescriptionEntry {
    int line = 0;
    std::string key;    // lower case
    std::string value;  // trimmed; a quoted value keeps its quotes
};

struct Description {
    bool hasImage = false;
    bool hasConfig = false;
    std::vector<DescriptionEntry> image;
    std::vector<DescriptionEntry> config;
};

// Splits a description into its sections.  False with "line N: reason" on a
// line that is neither a comment, a known section header nor "key = value".
bool ParseDescription(const std::string& text, Description* out, std::string* error);

// The configuration of a [config] section.  The format keys (layout, size,
// hub_type, form) may be left out: `defaultHubType` then decides them.
// False with "line N: reason" on an unknown key or a bad value.
bool ConfigFromEntries(const std::vector<DescriptionEntry>& entries, int defaultHubType, HubConfig* config,
                       ConfigFormat* format, std::string* error);

// "key = value" lines of a configuration, the format keys first; fields the
// format does not carry are left out.  Decode notes become comment lines.
std::string ConfigToText(const HubConfig& config, const ConfigFormat& format,
                         const ConfigDecodeNotes* notes = nullptr);

// Value helpers shared with the image builder.
bool ParseNumber(const std::string& text, long min, long max, long* value);
bool ParseBool(const std::string& text, bool* value);
// A double-quoted string with C escapes (\\, \", \n, \t, \xHH), or the bare
// text when it is not quoted.
bool ParseQuoted(const std::string& text, std::string* value);
std::string QuoteString(const std::string& text);
