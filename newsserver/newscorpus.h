#pragma once

#include <variant>

#include <QByteArray>
#include <QHash>
#include <QMap>

#include <functional>
#include <optional>

// Articles made when they are asked for, so that a large corpus is never held in memory.
// Every call may name any group, number or message-id, also ones the generator never made.
class ArticleGenerator
{
public:
    struct Bounds
    {
        qint64 low = 0;
        qint64 high = -1;
    };

    virtual ~ArticleGenerator() = default;
    // The group's numbers as GROUP reports them; nullopt: no such group.
    virtual std::optional<Bounds> bounds(const QByteArray &group) const = 0;
    // For a number within the bounds; an empty result means no article has that number.
    virtual QByteArray overviewLine(const QByteArray &group, qint64 number) const = 0;
    virtual QByteArray references(const QByteArray &group, qint64 number) const = 0;
    virtual QByteArray messageId(const QByteArray &group, qint64 number) const = 0;
    // The text as NewsCorpus::addArticle() takes it; empty: no such article.
    virtual QByteArray article(const QByteArray &messageId) const = 0;
};

// Status lines of a real server (INN 2.7.1), as NewsServer sends them.
namespace NewsStatus {
inline constexpr char greeting[] = "200 news.example InterNetNews NNRP server INN 2.7.1 ready (no posting)";
inline constexpr char authenticationRequired[] = "480 Authentication required for command";
inline constexpr char enterPassword[] = "381 Enter password";
inline constexpr char authenticated[] = "281 Authentication succeeded";
inline constexpr char authenticationFailed[] = "481 Authentication failed";
inline constexpr char outOfSequence[] = "482 Authentication commands issued out of sequence";
inline constexpr char notInGroup[] = "412 Not in a newsgroup";
inline constexpr char noSuchArticle[] = "430 No such article";
inline constexpr char unknownCommand[] = "500 What?";
inline constexpr char syntaxError[] = "501 Syntax error";
inline constexpr char lineTooLong[] = "500 Line too long";
inline constexpr char bye[] = "205 Bye!";
} // namespace NewsStatus

// The articles a news server serves, by group and number and by message-id, and the
// complete replies (status line, dot-stuffed CR LF data, ".") to the reading commands.
// Message-ids are given and answered without angle brackets in the API.
class NewsCorpus
{
public:
    enum class Form { Plain, Compressed };
    enum class Crc { Correct, Wrong };
    enum class Part { Whole, Head, Body }; // ARTICLE, HEAD or BODY

    // A group's numbers as GROUP reports them; without this they span what was added.
    void addGroup(const QByteArray &group, qint64 low, qint64 high);
    // One overview line (nine TAB fields, the CR LF is added when missing).
    void addOverview(const QByteArray &group, qint64 number, const QByteArray &line);
    // Overview lines made on demand for every number from low to high of the group.
    void setOverviewSource(const QByteArray &group, std::function<QByteArray(qint64 number)> source);
    // The References value that XHDR References gives for the article; others give "".
    void addReferences(const QByteArray &group, qint64 number, const QByteArray &value);
    // Article text: header lines, empty line, body; LF or CR LF line ends, not dot-stuffed.
    void addArticle(const QByteArray &group, qint64 number, const QByteArray &messageId, const QByteArray &text);

    // Groups and articles that were not added are asked of the generator (not owned).
    void setGenerator(const ArticleGenerator *generator);

    bool hasGroup(const QByteArray &group) const;

    QByteArray groupReply(const QByteArray &group) const;
    QByteArray overviewReply(const QByteArray &group, const QByteArray &range, Form form, Crc crc) const;
    QByteArray referencesReply(const QByteArray &group, const QByteArray &range, Form form, Crc crc) const;
    // argument: "<message-id>" or a number of the current group.
    QByteArray articleReply(const QByteArray &group, const QByteArray &argument, Part part = Part::Whole) const;

private:
    struct Group
    {
        qint64 low = 0;
        qint64 high = -1;
        bool fixedBounds = false;
        QMap<qint64, QByteArray> overview;
        QMap<qint64, QByteArray> references;
        QMap<qint64, QByteArray> messageIds;
        std::function<QByteArray(qint64)> overviewSource;
    };

    enum class Field { Overview, References };

    Group &groupFor(const QByteArray &group, qint64 number);
    std::optional<ArticleGenerator::Bounds> boundsOf(const QByteArray &group) const;
    QList<qint64> numbersIn(const Group &group, qint64 first, qint64 last) const;
    struct Refusal
    {
        QByteArray statusLine;
    };
    // The data lines of a range of the group, one per article, or the refusal of the command.
    std::variant<QByteArray, Refusal> rangeLines(const QByteArray &group, const QByteArray &range, Field field) const;
    QByteArray fieldLine(const QByteArray &group, const Group *held, qint64 number, Field field) const;
    QByteArray messageIdOf(const QByteArray &group, qint64 number) const;
    QByteArray wireArticle(const QByteArray &messageId) const;

    const ArticleGenerator *generator = nullptr;
    QHash<QByteArray, Group> groups;
    QHash<QByteArray, QByteArray> articles; // message-id -> dot-stuffed text with CR LF
};
