// Running SQL, transactions kept whole, and removing a damaged cache file.
#include "frameworks/folioreader/metadata/SqliteDatabase.h"

#include <filesystem>

namespace folioreader::sqlite {

int execute(sqlite3* database, const char* sql)
{
    return sqlite3_exec(database, sql, nullptr, nullptr, nullptr);
}

int makeTables(sqlite3* database, int version, const std::string& rebuild)
{
    std::int64_t stored = 0;
    {
        // Finished before the tables change: no table is dropped while a statement reads.
        Statement read(database, "PRAGMA user_version");
        if (read.code() != SQLITE_OK || read.step() != SQLITE_ROW)
            return read.code() != SQLITE_OK ? read.code() : SQLITE_ERROR;
        stored = read.integer(0);
    }
    if (stored == version)
        return SQLITE_OK;
    std::string sql = "BEGIN IMMEDIATE; " + rebuild
        + " PRAGMA user_version=" + std::to_string(version) + "; COMMIT;";
    int code = execute(database, sql.c_str());
    if (code != SQLITE_OK)
        execute(database, "ROLLBACK");
    return code;
}

bool isDamage(int code)
{
    code &= 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_FORMAT;
}

bool writeInTransaction(
    sqlite3* database, WhenBusy whenBusy, int busyMilliseconds, const std::function<bool()>& write)
{
    if (whenBusy == WhenBusy::giveUp)
        sqlite3_busy_timeout(database, 0);
    bool begun = execute(database, "BEGIN IMMEDIATE") == SQLITE_OK;
    if (whenBusy == WhenBusy::giveUp)
        sqlite3_busy_timeout(database, busyMilliseconds);
    if (!begun)
        return false;
    if (write() && execute(database, "COMMIT") == SQLITE_OK)
        return true;
    execute(database, "ROLLBACK");
    return false;
}

void removeFiles(const std::string& path)
{
    std::error_code ignored;
    for (const char* ending : { "", "-wal", "-shm" })
        std::filesystem::remove(path + ending, ignored);
}

sqlite3* connect(const std::string& path, int (*prepare)(sqlite3*))
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (error)
        return nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        sqlite3* database = nullptr;
        int code = sqlite3_open_v2(path.c_str(), &database,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
        if (code == SQLITE_OK)
            code = prepare(database);
        if (code == SQLITE_OK)
            return database;
        sqlite3_close_v2(database);
        if (!isDamage(code))
            return nullptr;
        removeFiles(path);
    }
    return nullptr;
}

}
