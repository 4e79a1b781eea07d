#pragma once

#include "spotdetails.h"

#include <QByteArrayView>

#include <optional>

// The details of a spot from the reply to HEAD <message-id>: the header block alone, lines
// ending in CR LF, with or without the empty line that ends it, no body. The spot XML of its
// "X-XML: " lines gives what SpotFields::parseArticle() gives for them (the same parser
// settings: no entities or DTDs), but in one pass, without building a document: it is read
// for every spot.
namespace SpotHeadReader {

// Header blocks longer than this are not read: a spot's XML is a few kilobytes.
constexpr qsizetype maxHeadSize = 1 << 20;

// nullopt when the spot has no details to give: no X-XML lines, XML that does not parse or
// lacks a description, or a block beyond maxHeadSize. The values are bounded (SpotDetails).
std::optional<SpotDetails> read(QByteArrayView head);

} // namespace SpotHeadReader
