#include "collection/poem_list_query.h"

#include "app/gbk_text.h"

namespace collection {

void PoemListQuery::open(const SqliteConnection &connection, const PoemStatement &statement)
{
    beginResetModel();
    m_open = false;
    m_statement = statement;
    m_headings.clear();
    m_cells.clear();
    try {
        SqliteStatement query = connection.prepare(statement.sql);
        query.bindAll(statement.params);
        const int columns = query.columnCount();
        QList<QString> headings;
        for (int c = 0; c < columns; ++c)
            headings.append(gbk::decode(query.columnName(c)));
        std::vector<QByteArray> cells;
        while (query.step()) {
            for (int c = 0; c < columns; ++c)
                cells.push_back(query.columnBytes(c));
        }
        m_headings = std::move(headings);
        m_cells = std::move(cells);
        m_open = true;
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

void PoemListQuery::close()
{
    beginResetModel();
    m_open = false;
    m_headings.clear();
    m_cells.clear();
    endResetModel();
}

QString PoemListQuery::idAt(int row) const
{
    if (row < 0 || row >= rowCount() || columnCount() == 0)
        return {};
    return gbk::decode(m_cells[std::size_t(row) * std::size_t(columnCount())]);
}

int PoemListQuery::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || m_headings.isEmpty())
        return 0;
    return int(m_cells.size() / std::size_t(m_headings.size()));
}

int PoemListQuery::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_headings.size());
}

QVariant PoemListQuery::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    return gbk::decode(m_cells[std::size_t(index.row()) * std::size_t(columnCount()) + std::size_t(index.column())]);
}

QVariant PoemListQuery::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_headings.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_headings[section];
}

Qt::ItemFlags PoemListQuery::flags(const QModelIndex &index) const
{
    // Read-only: selectable, never editable.
    return index.isValid() ? (Qt::ItemIsEnabled | Qt::ItemIsSelectable) : Qt::NoItemFlags;
}

bool PoemDetailQuery::open(const SqliteConnection &connection, const PoemStatement &statement)
{
    SqliteStatement query = connection.prepare(statement.sql);
    query.bindAll(statement.params);
    if (!query.step())
        return false;
    QList<QByteArray> names;
    QList<QByteArray> values;
    for (int c = 0; c < query.columnCount(); ++c) {
        names.append(query.columnName(c));
        values.append(query.columnBytes(c));
    }
    m_names = std::move(names);
    m_values = std::move(values);
    return true;
}

QString PoemDetailQuery::field(QByteArrayView name) const
{
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        if (QByteArrayView(m_names[i]).compare(name, Qt::CaseInsensitive) == 0)
            return gbk::decode(m_values[i]);
    }
    throw DatabaseError(QStringLiteral("no field named %1 in table shi")
                            .arg(QString::fromLatin1(name.data(), name.size())).toStdString());
}

} // namespace collection
