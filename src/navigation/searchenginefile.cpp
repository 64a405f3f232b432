#include "searchenginefile.h"

#include "failure.h"
#include "lines.h"
#include "safefile.h"
#include "textcodec.h"

#include <QFileInfo>
#include <algorithm>

namespace SearchEngineFile {

QString path(const QString &dataFolder)
{
    return dataFolder + QStringLiteral("/搜索.txt");
}

QString separator()
{
    return QStringLiteral(" TheHead: ");
}

QList<Engine> parse(const QString &text)
{
    QList<Engine> engines;
    // A byte-order mark some editors put in front is no part of the first name.
    const QString body = text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
    // Editors here save lines ending in a lone LF; a search string never holds one.
    const QStringList lines = Lines::split(body, Lines::Ends::CrCrLfOrLf);
    for (const QString &line : lines) {
        const QStringList pieces = line.split(separator());
        if (pieces.size() >= 2)
            engines.append({ pieces.at(0), pieces.at(1) });
    }
    return engines;
}

QList<Engine> load(const QString &dataFolder)
{
    const QString file = path(dataFolder);
    QString error;
    if (!QFileInfo::exists(file) && !QFileInfo(file).isSymLink()) {
        if (!SafeFile::write(file, QByteArray(), &error))
            throw Failure(QStringLiteral("无法创建搜索引擎文件：%1").arg(error));
        return {};
    }
    QByteArray bytes;
    if (!SafeFile::read(file, &bytes, &error))
        throw Failure(QStringLiteral("无法读取搜索引擎文件：%1").arg(error));
    return parse(TextCodec::decode(bytes));
}

void append(const QString &dataFolder, const Engine &engine)
{
    const QString refused
        = QStringLiteral("搜索引擎名称和搜索串里不能有换行，也不能有“%1”。").arg(separator());
    // Either text would come back from the file as a different engine, or as several.
    for (const QString &text : { engine.name, engine.searchString }) {
        if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))
            || text.contains(separator()))
            throw Failure(refused);
    }
    const QString file = path(dataFolder);
    QByteArray bytes;
    QString error;
    if (QFileInfo::exists(file) && !SafeFile::read(file, &bytes, &error))
        throw Failure(QStringLiteral("无法读取搜索引擎文件：%1").arg(error));
    // A new line goes on its own line even when the file's last line has no line end.
    if (!bytes.isEmpty() && !bytes.endsWith('\r') && !bytes.endsWith('\n'))
        bytes += "\r\n";
    const QString line = engine.name + separator() + engine.searchString + QStringLiteral("\r\n");
    // Plain ASCII says nothing of the file's encoding: new text goes in one that reads back
    // as written.
    const bool ascii = std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; });
    const QByteArray encoded
        = ascii ? TextCodec::encodeReadable(line) : TextCodec::encode(line, TextCodec::detect(bytes));
    const QByteArray written = bytes + encoded;
    // The file must give back exactly the engines it had and this one: a name ending in
    // " TheHead:" or starting with a byte-order mark would not.
    const QList<Engine> before = parse(TextCodec::decode(bytes));
    const QList<Engine> after = parse(TextCodec::decode(written));
    if (after.size() != before.size() + 1 || after.last().name != engine.name
        || after.last().searchString != engine.searchString)
        throw Failure(refused);
    if (!SafeFile::write(file, written, &error))
        throw Failure(QStringLiteral("无法保存搜索引擎：%1").arg(error));
}

QString noEngineMessage()
{
    return QStringLiteral("还没有搜索引擎。请点击搜索引擎列表右边的“+”按钮添加一个。");
}

} // namespace SearchEngineFile
