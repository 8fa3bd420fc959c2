#pragma once

// An INI file held wholly in memory: ordered sections of ordered key=value
// lines, names compared without regard to case. Nothing reaches the disk
// until UpdateFile, which replaces the file in one step (a temporary file
// renamed into place), so a failed write never costs the previous file.
// Text is Windows-1251 with CR LF line ends. A file that may hold passwords
// is kept readable by its user alone (SetOwnerOnly).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class TMemIniFile
{
public:
    // Loads the file; a missing or unreadable file gives an empty INI.
    explicit TMemIniFile(const QString &fileName);
    virtual ~TMemIniFile() = default;

    const QString &FileName() const { return fileName_; }
    // UpdateFile makes a new file readable and writable by the user alone
    // (0600) and takes the rights of the group and of others from one that
    // exists; the folder is not touched.
    void SetOwnerOnly(bool ownerOnly) { ownerOnly_ = ownerOnly; }

    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;
    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    void WriteString(const QString &section, const QString &key, const QString &value);
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    void WriteInteger(const QString &section, const QString &key, int value);
    // Bytes as two upper-case hexadecimal digits each; false (and no bytes)
    // for a missing key or text that is not hexadecimal pairs.
    bool ReadBinary(const QString &section, const QString &key, QByteArray &bytes) const;
    void WriteBinary(const QString &section, const QString &key, const QByteArray &bytes);
    QStringList Sections() const;

    // The file's content as it would be written.
    QByteArray ToBytes() const;
    void LoadFromBytes(const QByteArray &bytes);
    // Writes everything; false, with the system's reason when asked for,
    // when the file could not be replaced.
    bool UpdateFile(QString *reason = nullptr) const;

private:
    struct TSection
    {
        QString Name;
        QStringList Lines; // "key=value", or other text kept as it was read
    };

    const TSection *FindSection(const QString &name) const;
    TSection &SectionFor(const QString &name);
    static int FindKey(const TSection &section, const QString &key);

    QString fileName_;
    bool ownerOnly_ = false;
    std::vector<TSection> sections_;
};
