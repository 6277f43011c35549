// Searching the whole collection: our GBK LIKE against SQLite's built-in LIKE,
// the same statement on the same warm connection in the same run. Each
// iteration prepares the statement, binds the pattern and reads every result
// row, which is what the result list does.
//
// The built-in LIKE gives wrong answers on GBK text (it matches nearly every
// poem for a Chinese term); it is the baseline for speed only. Its result row
// count is reported next to ours to show the difference.
//
// At the end the ratio ours/built-in is printed for every search measured both
// ways. The database is $VENNALI_RUN_DIR/songci.idb (build the 'database'
// target first).

#include "app/gbk_text.h"
#include "collection/collection_file.h"
#include "collection/gbk_like.h"
#include "collection/sqlite_connection.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

using collection::SqliteConnection;

namespace {

enum class Engine { Ours, Builtin };

// Which LIKE the connection runs. The case_sensitive_like pragma registers
// SQLite's own like() again on this connection; installGbkLike puts ours back.
void useEngine(sqlite3 *db, Engine engine)
{
    if (engine == Engine::Builtin)
        sqlite3_exec(db, "pragma case_sensitive_like=0", nullptr, nullptr, nullptr);
    else
        collection::installGbkLike(db);
}

// Runs the list statement to its end, touching every column of every row.
qint64 readAll(const SqliteConnection &connection, const QByteArray &sql, const QByteArray &pattern)
{
    auto statement = connection.prepare(sql);
    statement.bind(1, pattern);
    qint64 rows = 0;
    while (statement.step()) {
        for (int column = 0; column < 3; ++column)
            benchmark::DoNotOptimize(statement.columnView(column).data());
        ++rows;
    }
    return rows;
}

struct Search
{
    std::string name;
    QByteArray sql;
    QByteArray pattern;
};

void registerSearch(const SqliteConnection &connection, const Search &search)
{
    for (const Engine engine : {Engine::Ours, Engine::Builtin}) {
        const std::string name = search.name + (engine == Engine::Ours ? "/ours" : "/builtin");
        benchmark::RegisterBenchmark(name.c_str(), [&connection, search, engine](benchmark::State &state) {
            useEngine(connection.handle(), engine);
            readAll(connection, search.sql, search.pattern); // warm the page cache
            qint64 rows = 0;
            for (auto _ : state)
                rows = readAll(connection, search.sql, search.pattern);
            state.counters["rows"] = double(rows);
            useEngine(connection.handle(), Engine::Ours);
        })->UseRealTime()->Unit(benchmark::kMillisecond);
    }
}

// The console report, followed by ours/built-in for every pair of runs. With
// --benchmark_repetitions the medians are compared, which a busy machine
// disturbs less than the means.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run &run : reports) {
            if (run.error_occurred)
                continue;
            const std::string &name = run.run_name.function_name;
            const auto slash = name.rfind('/');
            Times &times = m_times[name.substr(0, slash)][name.substr(slash + 1)];
            if (run.run_type == Run::RT_Iteration) {
                times.realSum += run.GetAdjustedRealTime();
                times.cpuSum += run.GetAdjustedCPUTime();
                times.count += 1;
            } else if (run.aggregate_name == "median") {
                times.median = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
            }
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto &[search, engines] : m_times) {
            const auto ours = engines.find("ours");
            const auto builtin = engines.find("builtin");
            if (ours == engines.end() || builtin == engines.end())
                continue;
            const auto [oursReal, oursCpu] = ours->second.typical();
            const auto [builtinReal, builtinCpu] = builtin->second.typical();
            std::printf("ratio %-24s ours/built-in: real time %.3f, CPU time %.3f\n", search.c_str(),
                        oursReal / builtinReal, oursCpu / builtinCpu);
        }
        std::fflush(stdout);
    }

private:
    struct Times
    {
        double realSum = 0;
        double cpuSum = 0;
        int count = 0;
        std::optional<std::pair<double, double>> median;

        // Real and CPU time per iteration: the median over repetitions when
        // there were any, else the mean.
        std::pair<double, double> typical() const
        {
            if (median)
                return *median;
            return {realSum / count, cpuSum / count};
        }
    };
    std::map<std::string, std::map<std::string, Times>> m_times;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    QString runDir = qEnvironmentVariable("VENNALI_RUN_DIR");
    if (runDir.isEmpty())
        runDir = QStringLiteral(VENNALI_DEFAULT_RUN_DIR);
    const QString database = QDir(runDir).filePath(collection::kCollectionFileName);
    if (!QFileInfo(database).isFile()) {
        std::fprintf(stderr, "bench_search: %s is missing; build the 'database' target first\n",
                     qPrintable(database));
        return 1;
    }

    std::optional<SqliteConnection> connection;
    try {
        connection.emplace(database, collection::kCollectionKey);
    } catch (const collection::DatabaseError &error) {
        std::fprintf(stderr, "bench_search: %s\n", error.what());
        return 1;
    }

    const QByteArray list = gbk::encode(u"select id,title as 作品,zz as 作者 from shi where ");
    const Search searches[] = {
        {"content/明月", list + "nr like ?", gbk::encode(u"%明月%")},
        {"content/东风", list + "nr like ?", gbk::encode(u"%东风%")},
        // Not served by the byte search: '_' and a '%' in the middle.
        {"content/明_月", list + "nr like ?", gbk::encode(u"%明_月%")},
        {"content/春%秋", list + "nr like ?", gbk::encode(u"%春%秋%")},
        {"title/水调歌头", list + "title like ?", gbk::encode(u"%水调歌头%")},
        {"author/苏轼", list + "zz like ?", gbk::encode(u"%苏轼%")},
    };
    for (const Search &search : searches)
        registerSearch(*connection, search);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
