// lorvex-db's commands. The tool opens one database per run under slot 0,
// loads it into a db_engine of its own and then drives the same steps the
// program's dialogs drive: the engine's per-item add, delete and copy-out,
// its class, album and star calls, and the store's reads. Nothing here
// writes a database table itself.
//
// Passwords: a database is first opened with a probe password. A plain
// database opens with any password, so it never asks for one; an encrypted
// one answers "wrong password", and only then is the user's password read.

#include "cli/cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include "cli/database.h"
#include "cli/options.h"
#include "cli/password.h"
#include "cli/progress.h"

namespace lorvex {
namespace {

void say(const CliIo& io, const char* format, ...) __attribute__((format(printf, 2, 3)));
void say(const CliIo& io, const char* format, ...) {
    std::fputs("lorvex-db: ", io.err);
    va_list args;
    va_start(args, format);
    std::vfprintf(io.err, format, args);
    va_end(args);
    std::fputc('\n', io.err);
}

std::string iso_date(int32_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

// Tabs and line ends inside a field would break the line format.
std::string field(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    return text;
}

std::string join(const std::vector<std::string>& names, const char* separator) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += separator;
        out += names[i];
    }
    return out;
}

// Opens command.db into *db; an exit status other than kExitOk on failure,
// after the message is printed.
int open_or_explain(const CliIo& io, const std::string& path, CliDatabase* db) {
    std::string error;
    int status = db->open(path, io, &error);
    if (status != kExitOk) say(io, "%s", error.c_str());
    return status;
}

// Every id must name an item before anything changes, so a mistyped id
// list leaves the database as it was.
int check_ids(const CliIo& io, CliDatabase& db, const std::vector<int32_t>& ids) {
    int missing = 0;
    for (int32_t id : ids) {
        if (!db.has_item(id)) {
            say(io, "no item has the id %d; 'lorvex-db list %s' shows the ids", id,
                db.path().c_str());
            ++missing;
        }
    }
    if (missing > 0) say(io, "nothing was changed");
    return missing > 0 ? kExitSomeFailed : kExitOk;
}

int run_create(const CliIo& io, const CliCommand& c) {
    std::vector<uint32_t> ids;
    std::string error;
    if (cli_cipher_ids(c.ciphers, &ids, &error) != 0) {
        say(io, "%s", error.c_str());
        return kExitUsage;
    }
    struct stat st {};
    if (lstat(c.db.c_str(), &st) == 0) {
        say(io, "%s exists already; create never overwrites a file: choose a new path",
            c.db.c_str());
        return kExitNotDatabase;
    }
    std::string password;
    if (!ids.empty()) {
        if (cli_read_password(io.password_env, io.in, io.err, &password) != 0) {
            say(io,
                "an encrypted database needs a password: set %s or give it on the first line "
                "of standard input",
                kPasswordVariable);
            return kExitUsage;
        }
        if (cli_check_new_password(password, &error) != 0) {
            say(io, "%s", error.c_str());
            return kExitUsage;
        }
    }
    if (cli_create_database(c.db, password, ids, &error) != 0) {
        say(io, "%s", error.c_str());
        return kExitNotDatabase;
    }
    if (c.ciphers.empty()) {
        std::fprintf(io.out, "created %s (plain, no password)\n", c.db.c_str());
    } else {
        std::fprintf(io.out, "created %s (ciphers: %s)\n", c.db.c_str(),
                     join(c.ciphers, ", ").c_str());
    }
    return kExitOk;
}

int run_info(const CliIo& io, const CliCommand& c) {
    CliDatabase db;
    if (int s = open_or_explain(io, c.db, &db); s != kExitOk) return s;
    std::vector<item_record> items;
    if (db.all_items(&items) != 0) {
        say(io, "cannot read the items of %s; it may be damaged", c.db.c_str());
        return kExitNotDatabase;
    }
    std::vector<std::string> ciphers = db.cipher_names();
    std::fprintf(io.out, "file:\t%s\n", c.db.c_str());
    std::fprintf(io.out, "header:\tQVDB_1116_Ver01 (ok)\n");
    std::fprintf(io.out, "ciphers:\t%s\n",
                 ciphers.empty() ? "none (plain)" : join(ciphers, ", ").c_str());
    std::fprintf(io.out, "items:\t%zu\n", items.size());
    std::fprintf(io.out, "next id:\t%d\n", db.next_item_id());
    for (label_kind kind : {label_kind::klass, label_kind::album}) {
        std::vector<CliLabel> labels = db.labels(kind);
        std::fprintf(io.out, "%s:\t%zu\n", kind == label_kind::klass ? "classes" : "albums",
                     labels.size());
        for (const CliLabel& l : labels) {
            size_t members = 0;
            for (const item_record& item : items) {
                if (cli_is_member(item, kind, l.position)) ++members;
            }
            std::fprintf(io.out, "  %s\t%zu\n", field(l.name).c_str(), members);
        }
    }
    return kExitOk;
}

int run_list(const CliIo& io, const CliCommand& c) {
    CliDatabase db;
    if (int s = open_or_explain(io, c.db, &db); s != kExitOk) return s;
    std::vector<item_record> items;
    if (db.all_items(&items) != 0) {
        say(io, "cannot read the items of %s; it may be damaged", c.db.c_str());
        return kExitNotDatabase;
    }
    const std::vector<CliLabel> classes = db.labels(label_kind::klass);
    const std::vector<CliLabel> albums = db.labels(label_kind::album);
    auto members = [](const item_record& item, label_kind kind,
                      const std::vector<CliLabel>& labels) {
        std::vector<std::string> names;
        for (const CliLabel& l : labels) {
            if (cli_is_member(item, kind, l.position)) names.push_back(field(l.name));
        }
        return join(names, ",");
    };
    for (const item_record& item : items) {
        std::fprintf(io.out, "%d\t%d\t%s\t%d\t%d\t%s\t%s\t%s\n", item.id, item.size,
                     iso_date(item.date).c_str(), item.star, item.hits,
                     field(db.item_name(item.id)).c_str(),
                     members(item, label_kind::klass, classes).c_str(),
                     members(item, label_kind::album, albums).c_str());
    }
    return kExitOk;
}

// The files an add run works on: named files as given, the picture files of
// named folders in name order.
void collect_files(const CliIo& io, const std::string& path, bool recursive, bool top,
                   std::vector<std::string>* files, int* failures) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        say(io, "cannot add %s: %s", path.c_str(),
            ec ? ec.message().c_str() : "no such file or folder");
        ++*failures;
        return;
    }
    if (!fs::is_directory(status)) {
        if (top || (fs::is_regular_file(status) && cli_is_picture_name(path))) {
            files->push_back(path);
        }
        return;
    }
    if (!top && !recursive) return;
    std::vector<std::string> entries;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        entries.push_back(it->path().string());
    }
    if (ec) {
        say(io, "cannot read the folder %s: %s", path.c_str(), ec.message().c_str());
        ++*failures;
        return;
    }
    std::sort(entries.begin(), entries.end());
    for (const std::string& e : entries) {
        std::error_code lec;
        // Links to folders are not followed, so a loop cannot trap the run.
        if (fs::is_symlink(fs::symlink_status(e, lec)) && fs::is_directory(fs::status(e, lec))) {
            continue;
        }
        collect_files(io, e, recursive, false, files, failures);
    }
}

int run_add(const CliIo& io, const CliCommand& c) {
    int failures = 0;
    std::vector<std::string> files;
    for (const std::string& p : c.paths) collect_files(io, p, c.recursive, true, &files, &failures);
    CliDatabase db;
    if (int s = open_or_explain(io, c.db, &db); s != kExitOk) return s;
    ProgressLine progress(io.err, io.progress, files.size());
    size_t added = 0;
    for (size_t k = 0; k < files.size(); ++k) {
        progress.show(k, files[k]);
        int32_t id = 0;
        std::string reason;
        if (db.add_file(files[k], &id, &reason) == 0) {
            progress.clear();
            std::fprintf(io.out, "%d\t%s\n", id, files[k].c_str());
            ++added;
        } else {
            progress.clear();
            say(io, "cannot add %s: %s", files[k].c_str(), reason.c_str());
            ++failures;
        }
    }
    progress.clear();
    if (failures > 0) say(io, "%zu added, %d failed", added, failures);
    return failures > 0 ? kExitSomeFailed : kExitOk;
}

int run_export(const CliIo& io, const CliCommand& c) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(c.dir, ec)) {
        say(io, "the export folder %s does not exist or is not a folder; create it first",
            c.dir.c_str());
        return kExitSomeFailed;
    }
    if (access(c.dir.c_str(), W_OK | X_OK) != 0) {
        say(io, "cannot write into the export folder %s: %s; choose a folder you may write to",
            c.dir.c_str(), std::strerror(errno));
        return kExitSomeFailed;
    }
    CliDatabase db;
    if (int s = open_or_explain(io, c.db, &db); s != kExitOk) return s;
    std::vector<int32_t> ids = c.ids;
    if (c.all_ids) {
        std::vector<item_record> items;
        if (db.all_items(&items) != 0) {
            say(io, "cannot read the items of %s; it may be damaged", c.db.c_str());
            return kExitNotDatabase;
        }
        for (const item_record& item : items) ids.push_back(item.id);
    } else if (int s = check_ids(io, db, ids); s != kExitOk) {
        return s;
    }
    ProgressLine progress(io.err, io.progress, ids.size());
    int failures = 0;
    for (size_t k = 0; k < ids.size(); ++k) {
        const std::string name = db.item_name(ids[k]);
        progress.show(k, name);
        std::string written, reason;
        int r = db.export_item(ids[k], c.dir, c.policy, &written, &reason);
        progress.clear();
        if (r == 0) {
            std::fprintf(io.out, "%d\t%s\n", ids[k], written.c_str());
        } else if (r == 1) {
            say(io, "skipped item %d: %s exists in %s", ids[k], field(name).c_str(), c.dir.c_str());
        } else {
            say(io, "cannot export item %d (%s): %s", ids[k], field(name).c_str(), reason.c_str());
            ++failures;
        }
    }
    return failures > 0 ? kExitSomeFailed : kExitOk;
}

int run_delete(const CliIo& io, const CliCommand& c) {
    CliDatabase db;
    if (int s = open_or_explain(io, c.db, &db); s != kExitOk) return s;
    if (int s = check_ids(io, db, c.ids); s != kExitOk) return s;
    int failures = 0;
    for (int32_t id : c.ids) {
        std::string reason;
        if (db.delete_item(id, &reason) == 0) {
            std::fprintf(io.out, "deleted %d\n", id);
        } else {
            say(io, "cannot delete item %d: %s", id, reason.c_str());
            ++failures;
        }
    }
    return failures > 0 ? kExitSomeFailed : kExitOk;
}

int run_rate(const CliIo& io, const CliCommand& c) {
    CliDatabase db;
    if (int s = open_or_explain(io, c.db, &db); s != kExitOk) return s;
    if (int s = check_ids(io, db, c.ids); s != kExitOk) return s;
    int failures = 0;
    for (int32_t id : c.ids) {
        if (db.set_stars(id, c.stars) != 0) {
            say(io, "cannot rate item %d: the database refused the change", id);
            ++failures;
        }
    }
    return failures > 0 ? kExitSomeFailed : kExitOk;
}

int run_label(const CliIo& io, const CliCommand& c) {
    const label_kind kind = c.verb == CliVerb::kClass ? label_kind::klass : label_kind::album;
    const char* what = c.verb == CliVerb::kClass ? "class" : "album";
    CliDatabase db;
    if (int s = open_or_explain(io, c.db, &db); s != kExitOk) return s;
    if (!c.label_add) {
        if (db.remove_label(kind, c.label) != 0) {
            say(io,
                "%s has no %s named '%s' (names are case-sensitive); 'lorvex-db info' lists them",
                c.db.c_str(), what, c.label.c_str());
            return kExitSomeFailed;
        }
        std::fprintf(io.out, "removed %s %s\n", what, c.label.c_str());
        return kExitOk;
    }
    if (int s = check_ids(io, db, c.ids); s != kExitOk) return s;
    int failures = 0;
    for (int32_t id : c.ids) {
        int r = db.add_to_label(kind, c.label, id);
        if (r == 1) {
            std::fprintf(io.out, "created %s %s\n", what, c.label.c_str());
        } else if (r < 0) {
            say(io,
                "cannot put item %d into the %s '%s': the database has no room for another "
                "%s (at most 128) or refused the change",
                id, what, c.label.c_str(), what);
            ++failures;
        }
    }
    return failures > 0 ? kExitSomeFailed : kExitOk;
}

int run_verify(const CliIo& io, const CliCommand& c) {
    CliDatabase db;
    if (int s = open_or_explain(io, c.db, &db); s != kExitOk) return s;
    std::vector<std::string> problems;
    size_t checked = 0;
    {
        std::unique_ptr<ProgressLine> progress;
        auto show = [&](size_t done, size_t total, int32_t id) {
            if (progress == nullptr)
                progress = std::make_unique<ProgressLine>(io.err, io.progress, total);
            progress->show(done, "item " + std::to_string(id));
        };
        if (db.verify(show, &problems, &checked) != 0) {
            say(io, "cannot read the items of %s; it may be damaged", c.db.c_str());
            return kExitNotDatabase;
        }
    }
    for (const std::string& p : problems) std::fprintf(io.out, "%s\n", p.c_str());
    std::fprintf(io.out, "%zu items checked, %zu problems\n", checked, problems.size());
    return problems.empty() ? kExitOk : kExitSomeFailed;
}

}  // namespace

int cli_run(const std::vector<std::string>& args, const CliIo& io) {
    CliCommand command;
    std::string error;
    if (cli_parse(args, &command, &error) != 0) {
        say(io, "%s", error.c_str());
        return kExitUsage;
    }
    if (command.help) {
        std::fputs(cli_help(command.verb).c_str(), io.out);
        return kExitOk;
    }
    switch (command.verb) {
        case CliVerb::kCreate:
            return run_create(io, command);
        case CliVerb::kInfo:
            return run_info(io, command);
        case CliVerb::kAdd:
            return run_add(io, command);
        case CliVerb::kList:
            return run_list(io, command);
        case CliVerb::kExport:
            return run_export(io, command);
        case CliVerb::kDelete:
            return run_delete(io, command);
        case CliVerb::kRate:
            return run_rate(io, command);
        case CliVerb::kClass:
        case CliVerb::kAlbum:
            return run_label(io, command);
        case CliVerb::kVerify:
            return run_verify(io, command);
        case CliVerb::kNone:
            break;
    }
    std::fputs(cli_help(CliVerb::kNone).c_str(), io.err);
    return kExitUsage;
}

}  // namespace lorvex
