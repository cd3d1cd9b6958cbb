#include "EntryReply.h"

#include "ListingParser.h"
#include "RemotePath.h"

#include <QList>
#include <QString>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int currentFolder = 257;

struct Reply {
    int code = 0;
    QList<QByteArrayView> lines;
};

// "250-" opens a reply of several lines that the first line starting "250 " closes; a line that
// starts otherwise belongs to the open reply, or is noise outside one.
std::optional<int> replyCode(QByteArrayView line, char separator)
{
    if (line.size() < 4 || line[3] != separator)
        return std::nullopt;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return std::nullopt;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

// Every complete reply, in order.
QList<Reply> replies(QByteArrayView text)
{
    QList<Reply> complete;
    std::optional<Reply> open;
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            break;
        QByteArrayView line = text.sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (open) {
            open->lines.append(line);
            if (replyCode(line, ' ') == open->code) {
                complete.append(*open);
                open.reset();
            }
        } else if (const auto single = replyCode(line, ' ')) {
            complete.append({*single, {line}});
        } else if (const auto first = replyCode(line, '-')) {
            open = Reply{*first, {line}};
        }
    }
    return complete;
}

std::optional<FileEntry> entryOf(const Reply& reply)
{
    std::optional<FileEntry> found;
    for (const QByteArrayView line : reply.lines) {
        // The facts line is the one line that starts with a single space.
        if (!line.startsWith(' '))
            continue;
        if (found)
            return std::nullopt;
        found = ListingParser::mlsd(QString::fromUtf8(line.sliced(1)));
        if (!found)
            return std::nullopt;
        found->name = RemotePath::lastComponent(found->name);
    }
    return found;
}

} // namespace

namespace EntryReply {

QList<Answer> answers(QByteArrayView text, bool continued)
{
    const QList<Reply> all = replies(text);
    QList<Answer> found;
    const auto pwd =
        std::find_if(all.begin(), all.end(), [](const Reply& reply) { return reply.code == currentFolder; });
    const auto first = pwd != all.end() ? pwd + 1 : continued ? all.begin() : all.end();
    for (auto reply = first; reply != all.end(); ++reply)
        found.append({reply->code, reply->code / 100 == 2 ? entryOf(*reply) : std::nullopt});
    return found;
}

std::optional<Answer> find(QByteArrayView text, bool continued)
{
    const QList<Answer> found = answers(text, continued);
    return found.isEmpty() ? std::nullopt : std::optional<Answer>(found.first());
}

bool transferAnnounced(QByteArrayView text)
{
    const QList<Reply> all = replies(text);
    return std::any_of(all.begin(), all.end(), [](const Reply& reply) { return reply.code / 100 == 1; });
}

bool isUnknownCommand(int code)
{
    return code == 500 || code == 502 || code == 504;
}

} // namespace EntryReply
