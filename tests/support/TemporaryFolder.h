#pragma once

#include <QString>
#include <QTemporaryDir>

// A folder of the test's own, removed with everything in it when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const QString& path() const { return root; }
    QString file(const QString& name) const;
    // Writes `bytes` to `name` inside the folder (parents created) and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir folder;
    QString root;
};
