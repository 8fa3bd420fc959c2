#include "common/IniFile.h"

#include "common/Cp1251.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

TMemIniFile::TMemIniFile(const QString &fileName) : fileName_(fileName)
{
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly))
        LoadFromBytes(file.readAll());
}

void TMemIniFile::LoadFromBytes(const QByteArray &bytes)
{
    sections_.clear();
    TSection *current = nullptr;
    const QStringList lines = Cp1251::Decode(bytes).split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = &SectionFor(line.mid(1, line.size() - 2).trimmed());
            continue;
        }
        if (!current)
            continue; // text before the first section belongs to none
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            current->Lines << line.left(eq).trimmed() + QLatin1Char('=') + line.mid(eq + 1);
        else
            current->Lines << line;
    }
}

const TMemIniFile::TSection *TMemIniFile::FindSection(const QString &name) const
{
    for (const TSection &section : sections_)
        if (section.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &section;
    return nullptr;
}

TMemIniFile::TSection &TMemIniFile::SectionFor(const QString &name)
{
    for (TSection &section : sections_)
        if (section.Name.compare(name, Qt::CaseInsensitive) == 0)
            return section;
    sections_.push_back({name, {}});
    return sections_.back();
}

int TMemIniFile::FindKey(const TSection &section, const QString &key)
{
    for (int i = 0; i < section.Lines.size(); ++i) {
        const QString &line = section.Lines[i];
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool TMemIniFile::SectionExists(const QString &section) const
{
    return FindSection(section) != nullptr;
}

bool TMemIniFile::ValueExists(const QString &section, const QString &key) const
{
    const TSection *found = FindSection(section);
    return found && FindKey(*found, key) >= 0;
}

QString TMemIniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const TSection *found = FindSection(section);
    if (!found)
        return defaultValue;
    const int i = FindKey(*found, key);
    if (i < 0)
        return defaultValue;
    const QString &line = found->Lines[i];
    return line.mid(line.indexOf(QLatin1Char('=')) + 1);
}

void TMemIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    TSection &target = SectionFor(section);
    const QString line = key + QLatin1Char('=') + value;
    const int i = FindKey(target, key);
    if (i >= 0)
        target.Lines[i] = line;
    else
        target.Lines << line;
}

int TMemIniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    bool ok = false;
    const int value = ReadString(section, key, QString()).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

void TMemIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

bool TMemIniFile::ReadBinary(const QString &section, const QString &key, QByteArray &bytes) const
{
    bytes.clear();
    if (!ValueExists(section, key))
        return false;
    const QString text = ReadString(section, key, QString()).trimmed();
    if (text.size() % 2 != 0)
        return false;
    QByteArray result;
    result.reserve(text.size() / 2);
    auto nibble = [](QChar c) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9')
            return int(u - u'0');
        if (u >= u'A' && u <= u'F')
            return int(u - u'A' + 10);
        if (u >= u'a' && u <= u'f')
            return int(u - u'a' + 10);
        return -1;
    };
    for (int i = 0; i < text.size(); i += 2) {
        const int high = nibble(text[i]), low = nibble(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        result.append(char(high * 16 + low));
    }
    bytes = result;
    return true;
}

void TMemIniFile::WriteBinary(const QString &section, const QString &key, const QByteArray &bytes)
{
    WriteString(section, key, QString::fromLatin1(bytes.toHex().toUpper()));
}

QStringList TMemIniFile::Sections() const
{
    QStringList names;
    for (const TSection &section : sections_)
        names << section.Name;
    return names;
}

QByteArray TMemIniFile::ToBytes() const
{
    QString text;
    for (const TSection &section : sections_) {
        text += QLatin1Char('[') + section.Name + QStringLiteral("]\r\n");
        for (const QString &line : section.Lines)
            text += line + QStringLiteral("\r\n");
        text += QStringLiteral("\r\n");
    }
    return Cp1251::Encode(text);
}

bool TMemIniFile::UpdateFile(QString *reason) const
{
    QSaveFile file(fileName_);
    const QByteArray bytes = ToBytes();
    // unbuffered: a write error surfaces at write(), before commit() could
    // rename a cut file into place; an uncommitted file is discarded
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (written && ownerOnly_) {
        // the temporary file that takes the place of the old one, before it holds anything
        constexpr QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                                             QFile::WriteUser | QFile::ExeUser;
        const QFileInfo old(fileName_);
        written = file.setPermissions(old.exists()
                                          ? old.permissions() & owner
                                          : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }
    written = written && file.write(bytes) == bytes.size() && file.commit();
    if (!written && reason)
        *reason = file.errorString();
    return written;
}
