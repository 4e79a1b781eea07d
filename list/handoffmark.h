#pragma once

#include "downloadstate.h"

#include <QIcon>

// The list's mark of a spot that was handed off or saved: a small arrow into a tray, blue while
// the downloader is at it, green when done or saved, red when it failed, grey when it was a
// duplicate or is gone.
namespace HandOffMark {

QIcon icon(const DownloadState &state);

} // namespace HandOffMark
