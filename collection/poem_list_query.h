#pragma once
// The list query and the model the result list shows. The whole result is read
// when the query opens (a few thousand short rows at most ~21,000), kept as GBK
// bytes and decoded only for the rows the view asks for, so opening stays cheap
// and scrolling never touches the database.

#include "collection/poem_statements.h"
#include "collection/sqlite_connection.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>

#include <vector>

namespace collection {

class PoemListQuery : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Runs the statement and shows its rows. On a database error the query is
    // left closed (no columns, no rows) and the error is thrown on.
    void open(const SqliteConnection &connection, const PoemStatement &statement);
    void close();
    bool isOpen() const { return m_open; }
    const PoemStatement &statement() const { return m_statement; }

    // The first field (the id) of a row as text; empty outside the result.
    QString idAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    bool m_open = false;
    PoemStatement m_statement;
    QList<QString> m_headings;
    // Row-major cells, columnCount() per row.
    std::vector<QByteArray> m_cells;
};

// The detail query: looks one poem up and keeps the last row it found.
class PoemDetailQuery
{
public:
    // True when a row was found; its fields are then readable by name.
    bool open(const SqliteConnection &connection, const PoemStatement &statement);
    QString field(QByteArrayView name) const;

private:
    QList<QByteArray> m_names;
    QList<QByteArray> m_values;
};

} // namespace collection
