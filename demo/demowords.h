#pragma once

#include <QByteArray>
#include <QList>

class DemoRandom;

// The Dutch words the demo corpus writes its titles, descriptions and comments with. Text is
// UTF-8, as most posters write today; several names and words carry accents, and a few titles
// are Japanese, so that every way a name can be written shows up in the list.
namespace DemoWords {

const QByteArray &pick(DemoRandom &random, const QList<QByteArray> &words);

const QList<QByteArray> &posters();
const QList<QByteArray> &filmTitles();
const QList<QByteArray> &artists();
const QList<QByteArray> &albums();
const QList<QByteArray> &games();
const QList<QByteArray> &applications();
const QList<QByteArray> &descriptionSentences();
const QList<QByteArray> &commentSentences();

} // namespace DemoWords
