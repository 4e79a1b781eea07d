// SpotPage from any spot fields and comments to page bytes, with the shipped templates and
// a page limit of 4 to 68 KB or the program's own: every page holds only the templates'
// elements and the page's own link and picture, each value inside its attribute or in text,
// and no page is longer than the limit (past it, the page is the message that says so).
#include "fuzzinput.h"
#include "pagestructure.h"
#include "spotarticles.h"
#include "spotpage.h"

namespace {

void check(const QByteArray &page, const PageTemplates &templates, qsizetype limit)
{
    if (page.isEmpty() || page == SpotPage::tooLargePage())
        return;
    FUZZ_CHECK(page.size() <= limit);
    FUZZ_CHECK(PageStructure::foreignTag(page, templates).isEmpty());
}

QString textOf(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const PageTemplates shipped = PageTemplates::load(QStringLiteral("/nonexistent"));
    FuzzInput input(data, size);
    const quint8 mode = input.byte();
    const quint8 limitByte = input.byte();
    const qsizetype limit = mode & 1 ? SpotPage::defaultPageLimit : 4096 + limitByte * 256;
    const QList<qsizetype> lengths = input.lengths();
    QList<QByteArrayView> pieces = cut(input.rest(), lengths);
    while (pieces.size() < 5)
        pieces += QByteArrayView();

    // Pieces: description, image, website, newsgroup, file names (one a line), then a name
    // and a text for each comment.
    SpotFields fields;
    fields.description = textOf(pieces[0]);
    fields.image = textOf(pieces[1]);
    fields.website = textOf(pieces[2]);
    fields.newsgroup = textOf(pieces[3]);
    for (const QByteArray &name : pieces[4].toByteArray().split('\n'))
        fields.fileNames += textOf(name);
    fields.size = mode & 2 ? 1536 : 0;
    QList<quint32> numbers;
    for (qsizetype piece = 5; piece + 1 < pieces.size(); piece += 2)
        numbers += quint32(numbers.size() + 1);

    SpotPage spot(shipped, mode & 4, limit);
    const QByteArray spotId = "spot@free.pt";
    spot.open(spotId, numbers);
    check(spot.spotRead(fields).page, shipped, limit);
    for (const quint32 number : std::as_const(numbers)) {
        const QByteArray name = pieces[3 + 2 * qsizetype(number)].toByteArray();
        const QByteArray text = pieces[4 + 2 * qsizetype(number)].toByteArray();
        const QByteArray article = SpotArticles::delivered(SpotArticles::comment(name, text, spotId));
        check(spot.articleData(QByteArray::number(number), article).page, shipped, limit);
    }
    return 0;
}
