#pragma once

// Shared by the tests that drive a spot page in the real web view.

#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>
#include <optional>

// The result of script, run in the page's DOM from the test's own world: the page itself
// runs no script. nullopt when the engine did not answer in time.
inline std::optional<QVariant> runScript(QWebEngineView *view, const QString &script, int timeoutMs = 5000)
{
    // The engine may answer after a wait has given up (at the latest when the page goes):
    // the answer lands in memory that outlives this call.
    const auto result = std::make_shared<std::optional<QVariant>>();
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                [result](const QVariant &value) { *result = value; });
    if (!QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs))
        return std::nullopt;
    return *result;
}

// The text the page shows, once it holds needle (empty on time-out).
inline QString waitForText(QWebEngineView *view, const QString &needle, int timeoutMs = 20000)
{
    QString text;
    const bool shown = QTest::qWaitFor(
        [&] {
            text = runScript(view, QStringLiteral("document.body ? document.body.innerText : ''"))
                       .value_or(QVariant())
                       .toString();
            return text.contains(needle);
        },
        timeoutMs);
    return shown ? text : QString();
}
