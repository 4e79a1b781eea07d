#pragma once

// Shared by the tests that drive a spot page in the real web view.

#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

// The text the page shows, once it holds needle (empty on time-out).
inline QString waitForText(QWebEngineView *view, const QString &needle, int timeoutMs = 20000)
{
    // The engine may answer after a wait has given up (at the latest when the page goes):
    // the answer lands in memory that outlives this call.
    const auto text = std::make_shared<QString>();
    const bool shown = QTest::qWaitFor(
        [&] {
            const auto answered = std::make_shared<bool>(false);
            view->page()->runJavaScript(QStringLiteral("document.body ? document.body.innerText : ''"),
                                        [text, answered](const QVariant &result) {
                                            *text = result.toString();
                                            *answered = true;
                                        });
            return QTest::qWaitFor([&] { return *answered; }, 5000) && text->contains(needle);
        },
        timeoutMs);
    return shown ? *text : QString();
}
