// CommentRenderer::render() on any comment article: only signed articles with a header end
// give a fragment, the same one twice gives it once, the fragment holds no tags but those of
// the markup, its size is bounded by the article's, and a comment as posters write it comes
// back as written.
#include "bytetext.h"
#include "commentrenderer.h"
#include "fuzzinput.h"
#include "markup.h"
#include "spotarticles.h"

namespace {

const QByteArray commentTemplate = "{name}|{comment}";
const QByteArray spotMessageId = "Xk9Zspot1@free.pt";
const QByteArrayView tags[] = {"<br>", "<b>", "<i>", "<u>", "</b>", "</i>", "</u>"};

bool onlyMarkupTags(QByteArray html)
{
    for (const QByteArrayView tag : tags)
        html.replace(tag, "");
    return !html.contains('<') && !html.contains('>');
}

bool isSigned(const QByteArray &article)
{
    const qsizetype headerEnd = article.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QByteArray headers = '\n' + article.first(headerEnd);
    return headers.contains("\nX-User-Signature: ");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const qsizetype posterLength = input.byte();
    const QByteArray bytes = input.rest().toByteArray();

    CommentRenderer renderer;
    const QByteArray fragment = renderer.render(bytes, commentTemplate, spotMessageId);
    FUZZ_CHECK(fragment.isEmpty() || isSigned(bytes));
    FUZZ_CHECK(onlyMarkupTags(fragment));
    // The name and the text, each four bytes per byte at most: a name holding "{comment}" is not filled.
    FUZZ_CHECK(fragment.size() <= commentTemplate.size() + 4 * bytes.size());
    FUZZ_CHECK(renderer.render(bytes, commentTemplate, spotMessageId).isEmpty());

    // The bytes as a poster's name (one that fits a From line) and text, posted and delivered.
    const QByteArray poster = bytes.left(posterLength);
    if (poster.contains('\n') || poster.contains(" <"))
        return 0;
    const QByteArray text = bytes.mid(posterLength);
    const QByteArray article = SpotArticles::delivered(SpotArticles::comment(poster, text, spotMessageId));
    QByteArray written = text;
    written.replace("\n", "\r\n");
    written += "\r\n";
    CommentRenderer fresh;
    FUZZ_CHECK(fresh.render(article, commentTemplate, spotMessageId)
               == convertMarkup(ByteText::toText(poster)) + '|' + convertMarkup(ByteText::toText(written)));
    return 0;
}
