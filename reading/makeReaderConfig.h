// makeReaderConfig: a fresh reader configuration for one opening of a book — the reader's colours
// and options, the quote backgrounds, and the highlight database in the documents folder.
#pragma once

#include "frameworks/folioreader/FolioReaderConfig.h"

#include <functional>
#include <memory>
#include <string>

// A new configuration, made from nothing each time; the caller holds the only reference.
std::shared_ptr<folioreader::FolioReaderConfig> makeReaderConfig();

// The same, with the application's image resources looked up through imageNamed instead of
// ui::Image::named, so a test can take "demo-bg" away.
using ImageLookup = std::function<std::shared_ptr<ui::Image>(const std::string& name)>;
std::shared_ptr<folioreader::FolioReaderConfig> makeReaderConfig(const ImageLookup& imageNamed);
