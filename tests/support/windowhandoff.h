#pragma once

#include <QByteArray>

class MainWindow;
class QLabel;

// "Downloaden" clicked for one spot of the main window's list, as a user does it: its row
// clicked (which opens its tab, unless it is open), and the tab's button clicked once the spot
// article is read and names its NZB. The tab's download state label; nullptr when the spot is
// not in the list, its tab did not open or the button stayed disabled for timeoutMs.
QLabel *handOffFromWindow(MainWindow &window, const QByteArray &spotKey, int timeoutMs);
