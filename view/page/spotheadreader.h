#pragma once

#include "spotdetails.h"

#include <QByteArrayView>

#include <optional>

// The details of a spot from the reply to HEAD <message-id>: the header block alone, lines
// ending in CR LF, with or without the empty line that ends it, no body. The spot XML of its
// "X-XML: " lines is read as the spot page reads it (SpotFields), so without entities or DTDs.
namespace SpotHeadReader {

// Header blocks longer than this are not read: a spot's XML is a few kilobytes.
constexpr qsizetype maxHeadSize = 1 << 20;

// nullopt when the spot has no details to give: no X-XML lines, XML that does not parse or
// lacks a description, or a block beyond maxHeadSize. The values are bounded (SpotDetails).
std::optional<SpotDetails> read(QByteArrayView head);

} // namespace SpotHeadReader
