#include "FaultVfs.h"

#include <cstring>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

struct State
{
    sqlite3_vfs *real = nullptr;
    std::string folder;
    FaultVfs::Mode mode = FaultVfs::Mode::Count;
    int nth = 0;
    int operations = 0;
    bool fired = false;
    bool crashed = false;
    std::string firedAt;
    std::vector<std::string> trace;
};

State &state()
{
    static State s;
    return s;
}

// The layer's file: its own header, the real file right behind it.
struct FaultFile
{
    sqlite3_file base;
    sqlite3_file *real;
    std::string path; // whether it is watched is asked at each operation: a file opened
                      // before the folder was named counts as well
};

enum class Verdict { Proceed, Fail, Drop };

bool watchedPath(const char *path)
{
    const State &s = state();
    return path && !s.folder.empty() && std::strncmp(path, s.folder.c_str(), s.folder.size()) == 0;
}

std::string baseName(const char *path)
{
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

Verdict point(const std::string &path, const char *what)
{
    State &s = state();
    if (!watchedPath(path.c_str()))
        return Verdict::Proceed;
    const std::string name = baseName(path.c_str());
    if (s.crashed)
        return Verdict::Drop;
    ++s.operations;
    s.trace.push_back(std::string(what) + " " + name);
    if (s.mode == FaultVfs::Mode::Count || s.operations != s.nth)
        return Verdict::Proceed;
    s.fired = true;
    s.firedAt = std::string(what) + " " + name;
    if (s.mode == FaultVfs::Mode::Fail)
        return Verdict::Fail;
    s.crashed = true;
    return Verdict::Drop;
}

FaultFile *of(sqlite3_file *f)
{
    return reinterpret_cast<FaultFile *>(f);
}

int xClose(sqlite3_file *f)
{
    const int rc = of(f)->real->pMethods->xClose(of(f)->real);
    of(f)->path.~basic_string();
    return rc;
}

int xRead(sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset)
{
    return of(f)->real->pMethods->xRead(of(f)->real, buffer, amount, offset);
}

int xWrite(sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset)
{
    switch (point(of(f)->path, "write")) {
    case Verdict::Fail: return SQLITE_IOERR_WRITE;
    case Verdict::Drop: return SQLITE_OK;
    case Verdict::Proceed: break;
    }
    return of(f)->real->pMethods->xWrite(of(f)->real, buffer, amount, offset);
}

int xTruncate(sqlite3_file *f, sqlite3_int64 size)
{
    switch (point(of(f)->path, "truncate")) {
    case Verdict::Fail: return SQLITE_IOERR_TRUNCATE;
    case Verdict::Drop: return SQLITE_OK;
    case Verdict::Proceed: break;
    }
    return of(f)->real->pMethods->xTruncate(of(f)->real, size);
}

int xSync(sqlite3_file *f, int flags)
{
    switch (point(of(f)->path, "sync")) {
    case Verdict::Fail: return SQLITE_IOERR_FSYNC;
    case Verdict::Drop: return SQLITE_OK;
    case Verdict::Proceed: break;
    }
    return of(f)->real->pMethods->xSync(of(f)->real, flags);
}

int xFileSize(sqlite3_file *f, sqlite3_int64 *size)
{
    return of(f)->real->pMethods->xFileSize(of(f)->real, size);
}
int xLock(sqlite3_file *f, int lock)
{
    return of(f)->real->pMethods->xLock(of(f)->real, lock);
}
int xUnlock(sqlite3_file *f, int lock)
{
    return of(f)->real->pMethods->xUnlock(of(f)->real, lock);
}
int xCheckReservedLock(sqlite3_file *f, int *out)
{
    return of(f)->real->pMethods->xCheckReservedLock(of(f)->real, out);
}
int xFileControl(sqlite3_file *f, int op, void *arg)
{
    return of(f)->real->pMethods->xFileControl(of(f)->real, op, arg);
}
int xSectorSize(sqlite3_file *f)
{
    return of(f)->real->pMethods->xSectorSize(of(f)->real);
}
int xDeviceCharacteristics(sqlite3_file *f)
{
    return of(f)->real->pMethods->xDeviceCharacteristics(of(f)->real);
}
int xShmMap(sqlite3_file *f, int region, int size, int extend, void volatile **out)
{
    return of(f)->real->pMethods->xShmMap(of(f)->real, region, size, extend, out);
}
int xShmLock(sqlite3_file *f, int offset, int n, int flags)
{
    return of(f)->real->pMethods->xShmLock(of(f)->real, offset, n, flags);
}
void xShmBarrier(sqlite3_file *f)
{
    of(f)->real->pMethods->xShmBarrier(of(f)->real);
}
int xShmUnmap(sqlite3_file *f, int deleteFlag)
{
    return of(f)->real->pMethods->xShmUnmap(of(f)->real, deleteFlag);
}
int xFetch(sqlite3_file *f, sqlite3_int64 offset, int amount, void **out)
{
    // No memory mapping: every page is read through xRead, so nothing bypasses the layer.
    (void)f, (void)offset, (void)amount;
    *out = nullptr;
    return SQLITE_OK;
}
int xUnfetch(sqlite3_file *f, sqlite3_int64 offset, void *page)
{
    (void)f, (void)offset, (void)page;
    return SQLITE_OK;
}

const sqlite3_io_methods Methods = {3,       xClose,           xRead,       xWrite,      xTruncate,
                                    xSync,   xFileSize,        xLock,       xUnlock,     xCheckReservedLock,
                                    xFileControl, xSectorSize, xDeviceCharacteristics, xShmMap, xShmLock,
                                    xShmBarrier, xShmUnmap,   xFetch,      xUnfetch};

int vfsOpen(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    FaultFile *p = of(file);
    p->base.pMethods = nullptr;
    p->real = reinterpret_cast<sqlite3_file *>(p + 1);
    sqlite3_vfs *real = state().real;
    // After the crash nothing new appears on the disk either (a journal, a super-journal).
    if (state().crashed && name && watchedPath(name) && (flags & SQLITE_OPEN_CREATE)) {
        int exists = 0;
        if (real->xAccess(real, name, SQLITE_ACCESS_EXISTS, &exists) == SQLITE_OK && !exists)
            return SQLITE_CANTOPEN;
    }
    const int rc = real->xOpen(real, name, p->real, flags, outFlags);
    if (rc != SQLITE_OK || !p->real->pMethods)
        return rc;
    new (&p->path) std::string(name ? name : "");
    p->base.pMethods = &Methods;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs *, const char *path, int syncDir)
{
    switch (point(path ? std::string(path) : std::string(), "delete")) {
    case Verdict::Fail: return SQLITE_IOERR_DELETE;
    case Verdict::Drop: return SQLITE_OK;
    case Verdict::Proceed: break;
    }
    sqlite3_vfs *real = state().real;
    return real->xDelete(real, path, syncDir);
}

int vfsAccess(sqlite3_vfs *, const char *path, int flags, int *out)
{
    sqlite3_vfs *real = state().real;
    return real->xAccess(real, path, flags, out);
}

int vfsFullPathname(sqlite3_vfs *, const char *path, int size, char *out)
{
    sqlite3_vfs *real = state().real;
    return real->xFullPathname(real, path, size, out);
}

void *vfsDlOpen(sqlite3_vfs *, const char *path)
{
    return state().real->xDlOpen(state().real, path);
}
void vfsDlError(sqlite3_vfs *, int n, char *out)
{
    state().real->xDlError(state().real, n, out);
}
void (*vfsDlSym(sqlite3_vfs *, void *handle, const char *symbol))(void)
{
    return state().real->xDlSym(state().real, handle, symbol);
}
void vfsDlClose(sqlite3_vfs *, void *handle)
{
    state().real->xDlClose(state().real, handle);
}
int vfsRandomness(sqlite3_vfs *, int n, char *out)
{
    return state().real->xRandomness(state().real, n, out);
}
int vfsSleep(sqlite3_vfs *, int micros)
{
    return state().real->xSleep(state().real, micros);
}
int vfsCurrentTime(sqlite3_vfs *, double *out)
{
    return state().real->xCurrentTime(state().real, out);
}
int vfsGetLastError(sqlite3_vfs *, int n, char *out)
{
    return state().real->xGetLastError ? state().real->xGetLastError(state().real, n, out) : 0;
}
int vfsCurrentTimeInt64(sqlite3_vfs *, sqlite3_int64 *out)
{
    return state().real->xCurrentTimeInt64(state().real, out);
}

} // namespace

void FaultVfs::install()
{
    static sqlite3_vfs vfs;
    State &s = state();
    if (s.real)
        return;
    sqlite3_initialize();
    s.real = sqlite3_vfs_find(nullptr);
    std::memset(&vfs, 0, sizeof vfs);
    vfs.iVersion = 2;
    vfs.szOsFile = int(sizeof(FaultFile)) + s.real->szOsFile;
    vfs.mxPathname = s.real->mxPathname;
    vfs.zName = "hm_fault";
    vfs.xOpen = vfsOpen;
    vfs.xDelete = vfsDelete;
    vfs.xAccess = vfsAccess;
    vfs.xFullPathname = vfsFullPathname;
    vfs.xDlOpen = vfsDlOpen;
    vfs.xDlError = vfsDlError;
    vfs.xDlSym = vfsDlSym;
    vfs.xDlClose = vfsDlClose;
    vfs.xRandomness = vfsRandomness;
    vfs.xSleep = vfsSleep;
    vfs.xCurrentTime = vfsCurrentTime;
    vfs.xGetLastError = vfsGetLastError;
    vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    sqlite3_vfs_register(&vfs, 1);
}

void FaultVfs::watch(const QString &folder)
{
    State &s = state();
    s.folder = folder.endsWith(QLatin1Char('/')) ? folder.toStdString() : (folder + QLatin1Char('/')).toStdString();
    disarm();
}

void FaultVfs::arm(Mode mode, int nth)
{
    State &s = state();
    s.mode = mode;
    s.nth = nth;
    s.operations = 0;
    s.fired = false;
    s.crashed = false;
    s.firedAt.clear();
    s.trace.clear();
}

void FaultVfs::disarm()
{
    State &s = state();
    s.mode = Mode::Count;
    s.nth = 0;
    s.crashed = false;
}

int FaultVfs::operations()
{
    return state().operations;
}

bool FaultVfs::fired()
{
    return state().fired;
}

QString FaultVfs::firedAt()
{
    return QString::fromStdString(state().firedAt);
}

QStringList FaultVfs::trace()
{
    QStringList out;
    for (const std::string &t : state().trace)
        out << QString::fromStdString(t);
    return out;
}
