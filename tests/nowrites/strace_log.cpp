#include "strace_log.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace nowrites {

namespace {

const QSet<QString> &openCalls()
{
    static const QSet<QString> names{"open", "openat", "openat2", "creat"};
    return names;
}

// Calls that change what a path names whenever they succeed.
const QSet<QString> &pathChangingCalls()
{
    static const QSet<QString> names{
        "mkdir", "mkdirat", "rmdir", "unlink", "unlinkat", "rename", "renameat", "renameat2",
        "link", "linkat", "symlink", "symlinkat", "truncate", "chmod", "fchmodat", "chown",
        "lchown", "fchownat", "utime", "utimes", "utimensat", "futimesat", "mknod", "mknodat",
        "setxattr", "lsetxattr", "removexattr", "lremovexattr"};
    return names;
}

// Calls that change the file behind a descriptor.
const QSet<QString> &descriptorChangingCalls()
{
    static const QSet<QString> names{
        "write", "pwrite64", "writev", "pwritev", "pwritev2", "ftruncate", "fallocate", "fchmod",
        "fchown", "fsetxattr", "fremovexattr", "copy_file_range", "sendfile", "splice"};
    return names;
}

// Open flags that allow writing to, creating or emptying a file.
const QStringList &writingOpenFlags()
{
    static const QStringList flags{"O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "O_APPEND", "O_TMPFILE"};
    return flags;
}

struct Argument
{
    QString text;
    std::optional<QString> quoted;     // the string, unescaped, if the argument is one
    std::optional<QString> decoration; // the <...> a descriptor carries, unescaped
};

// Splits "a, "b", 5</x>, [1, 2])..." at its top-level commas, up to the
// closing parenthesis. `end` gets the index after it, or -1 when the line
// stops first (an unfinished call).
QList<Argument> splitArguments(const QString &line, qsizetype start, qsizetype &end)
{
    QList<Argument> arguments;
    Argument current;
    QString quotedRaw;
    QString decorationRaw;
    enum class State { Plain, Quoted, Decoration } state = State::Plain;
    int depth = 0;
    end = -1;

    const auto finishArgument = [&] {
        current.text = current.text.trimmed();
        if (!current.text.isEmpty() || current.quoted || current.decoration)
            arguments.append(current);
        current = Argument();
    };

    for (qsizetype i = start; i < line.size(); ++i) {
        const QChar c = line.at(i);
        switch (state) {
        case State::Quoted:
            if (c == u'\\' && i + 1 < line.size()) {
                quotedRaw += c;
                quotedRaw += line.at(++i);
            } else if (c == u'"') {
                state = State::Plain;
                // Only a string at the top level is a path argument; strings in
                // structures and arrays are data.
                if (depth == 0 && !current.quoted)
                    current.quoted = unescapeStrace(quotedRaw);
            } else {
                quotedRaw += c;
            }
            continue;
        case State::Decoration:
            if (c == u'>') {
                state = State::Plain;
                if (depth == 0 && !current.decoration)
                    current.decoration = unescapeStrace(decorationRaw);
            } else {
                decorationRaw += c;
            }
            continue;
        case State::Plain:
            break;
        }
        if (c == u'"') {
            state = State::Quoted;
            quotedRaw.clear();
        } else if (c == u'<') {
            state = State::Decoration;
            decorationRaw.clear();
        } else if (c == u'(' || c == u'[' || c == u'{') {
            ++depth;
            current.text += c;
        } else if ((c == u')' || c == u']' || c == u'}') && depth > 0) {
            --depth;
            current.text += c;
        } else if (c == u')') {
            finishArgument();
            end = i + 1;
            return arguments;
        } else if (c == u',' && depth == 0) {
            finishArgument();
        } else {
            current.text += c;
        }
    }
    finishArgument();
    return arguments;
}

QString resolve(const QString &path, const QString &base)
{
    if (path.startsWith(u'/'))
        return QDir::cleanPath(path);
    if (base.isEmpty())
        return QString();
    return QDir::cleanPath(base + u'/' + path);
}

bool isDescriptorText(const QString &text)
{
    return text == u"AT_FDCWD" || (!text.isEmpty() && text.front().isDigit());
}

} // namespace

QString straceWriteTraceSet()
{
    QStringList names{QStringLiteral("%file")};
    for (const QString &name : descriptorChangingCalls())
        names.append(name);
    names.sort();
    return names.join(u',');
}

QString unescapeStrace(QStringView text)
{
    QByteArray bytes;
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8.at(i);
        if (c != '\\' || i + 1 >= utf8.size()) {
            bytes += c;
            continue;
        }
        const char next = utf8.at(++i);
        if (next >= '0' && next <= '7') {
            int value = 0;
            int digits = 0;
            --i;
            while (digits < 3 && i + 1 < utf8.size() && utf8.at(i + 1) >= '0' && utf8.at(i + 1) <= '7') {
                value = value * 8 + (utf8.at(++i) - '0');
                ++digits;
            }
            bytes += static_cast<char>(value);
        } else if (next == 'x' && i + 2 < utf8.size()) {
            bool ok = false;
            const int value = utf8.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                bytes += static_cast<char>(value);
                i += 2;
            } else {
                bytes += next;
            }
        } else {
            switch (next) {
            case 'n': bytes += '\n'; break;
            case 't': bytes += '\t'; break;
            case 'r': bytes += '\r'; break;
            case 'v': bytes += '\v'; break;
            case 'f': bytes += '\f'; break;
            default: bytes += next; break;
            }
        }
    }
    return QString::fromUtf8(bytes);
}

std::optional<SyscallRecord> parseStraceLine(const QString &rawLine, QString &cwd)
{
    static const QRegularExpression head(QStringLiteral(R"(^(?:\[pid\s+\d+\]\s+|\d+\s+)?([a-z_][a-z0-9_]*)\()"));
    static const QString unfinishedMark = QStringLiteral("<unfinished ...>");

    QString line = rawLine.trimmed();
    const QRegularExpressionMatch match = head.match(line);
    if (!match.hasMatch())
        return std::nullopt;

    SyscallRecord call;
    call.name = match.captured(1);
    call.line = rawLine;
    if (line.endsWith(unfinishedMark)) {
        line.chop(unfinishedMark.size());
        call.finished = false;
    }

    qsizetype end = -1;
    const QList<Argument> arguments = splitArguments(line, match.capturedEnd(), end);
    if (end < 0)
        call.finished = false;

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const Argument &argument = arguments.at(i);
        if (argument.decoration && argument.text == u"AT_FDCWD")
            cwd = *argument.decoration;
        if (argument.quoted) {
            if (argument.quoted->isEmpty())
                continue;
            QString base = cwd;
            if (i > 0 && arguments.at(i - 1).decoration && isDescriptorText(arguments.at(i - 1).text))
                base = *arguments.at(i - 1).decoration;
            const QString path = resolve(*argument.quoted, base);
            if (!path.isEmpty())
                call.paths.append(path);
        } else if (argument.decoration) {
            if (argument.decoration->startsWith(u'/'))
                call.descriptorPaths.append(QDir::cleanPath(*argument.decoration));
        } else {
            call.flags.append(argument.text);
        }
    }

    if (call.finished) {
        const QString rest = line.mid(end).trimmed();
        if (!rest.startsWith(u'=')) {
            call.finished = false;
        } else {
            const QString result = rest.mid(1).trimmed();
            if (result.startsWith(u'?')) {
                // The thread died in the call: whether it took effect is unknown.
                call.finished = false;
            } else {
                call.succeeded = !result.startsWith(u'-');
                const qsizetype open = result.indexOf(u'<');
                const qsizetype close = result.indexOf(u'>', open + 1);
                if (open > 0 && close > open)
                    call.resultPath = unescapeStrace(QStringView(result).mid(open + 1, close - open - 1));
            }
        }
    }

    if (call.succeeded && call.name == u"chdir" && !call.paths.isEmpty())
        cwd = call.paths.first();
    else if (call.succeeded && call.name == u"fchdir" && !call.descriptorPaths.isEmpty())
        cwd = call.descriptorPaths.first();
    return call;
}

bool changesFiles(const SyscallRecord &call)
{
    if (openCalls().contains(call.name)) {
        if (call.name == u"creat")
            return true;
        for (const QString &flags : call.flags) {
            for (const QString &flag : writingOpenFlags()) {
                if (flags.contains(flag))
                    return true;
            }
        }
        return false;
    }
    return pathChangingCalls().contains(call.name) || descriptorChangingCalls().contains(call.name);
}

QStringList changedPaths(const SyscallRecord &call)
{
    if (!changesFiles(call))
        return {};
    QStringList paths;
    if (openCalls().contains(call.name)) {
        paths = call.paths;
        if (call.resultPath.startsWith(u'/'))
            paths.append(QDir::cleanPath(call.resultPath));
    } else if (descriptorChangingCalls().contains(call.name)) {
        paths = call.descriptorPaths;
    } else {
        // A call on a descriptor alone (utimensat(fd, NULL, ...)) names no path.
        paths = call.paths.isEmpty() ? call.descriptorPaths : call.paths;
    }
    paths.removeDuplicates();
    return paths;
}

QList<SyscallRecord> readStraceLogs(const QString &folder, const QString &prefix, const QString &initialCwd)
{
    static const QString unfinishedMark = QStringLiteral("<unfinished ...>");
    static const QRegularExpression resumed(QStringLiteral(R"(^<\.\.\. [a-z0-9_]+ resumed>)"));

    QList<SyscallRecord> calls;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({prefix + QStringLiteral(".*")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QString cwd = initialCwd;
        QString pending;
        const auto take = [&](const QString &line) {
            if (std::optional<SyscallRecord> call = parseStraceLine(line, cwd)) {
                call->logFile = name;
                calls.append(std::move(*call));
            }
        };
        while (!file.atEnd()) {
            QString line = QString::fromUtf8(file.readLine());
            while (line.endsWith(u'\n'))
                line.chop(1);
            const QRegularExpressionMatch resumption = resumed.match(line);
            if (resumption.hasMatch() && !pending.isEmpty()) {
                line = pending + line.mid(resumption.capturedEnd());
                pending.clear();
            } else if (line.startsWith(QStringLiteral("---"))) {
                // A signal arrived while the call was blocked; it goes on after.
                continue;
            } else if (!pending.isEmpty()) {
                // The unfinished call never resumed in this thread's log.
                take(pending + unfinishedMark);
                pending.clear();
            }
            if (line.trimmed().endsWith(unfinishedMark)) {
                pending = line.trimmed();
                pending.chop(unfinishedMark.size());
                continue;
            }
            take(line);
        }
        if (!pending.isEmpty())
            take(pending + unfinishedMark);
    }
    return calls;
}

bool isInside(const QString &path, const QString &root)
{
    if (root.isEmpty())
        return false;
    const QString cleanRoot = QDir::cleanPath(root);
    const QString cleanPath = QDir::cleanPath(path);
    return cleanPath == cleanRoot || cleanPath.startsWith(cleanRoot + u'/');
}

} // namespace nowrites
