#pragma once
// A file written under a temporary name beside its destination and renamed over
// it only once complete, so a failed or interrupted run leaves the old file as
// it was and no half-written one in its place.

#include <QString>

namespace builder {

class StagedFile
{
public:
    // Reserves an empty file with a fresh name in the destination's folder.
    // Throws BuildError when that folder is missing or not writable.
    explicit StagedFile(const QString &destination);
    // Removes the temporary file (and any SQLite journal beside it) unless
    // commit() succeeded.
    ~StagedFile();

    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    const QString &path() const { return m_path; }
    const QString &destination() const { return m_destination; }

    // Atomically replaces the destination by the temporary file.
    void commit();

private:
    void removeLeftovers() const;

    QString m_destination;
    QString m_path;
    bool m_committed = false;
};

} // namespace builder
