#include "videoshare.h"

#include <QFile>
#include <cjson/cJSON.h>
#include <glog/logging.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

namespace {

constexpr int kOwnerOnly = 0600;

union SemArg {
    int val;
    semid_ds* buf;
    unsigned short* array;
};

// Every live set, so that the process's end removes what they made.  Never
// destroyed: the exit handler may run after other statics are gone.
struct LiveSets {
    std::mutex mutex;
    std::set<VideoShareSet*> sets;
};

LiveSets& liveSets()
{
    static LiveSets* sets = new LiveSets;
    return *sets;
}

void removeAtExit()
{
    std::vector<VideoShareSet*> sets;
    {
        std::lock_guard<std::mutex> lock(liveSets().mutex);
        sets.assign(liveSets().sets.begin(), liveSets().sets.end());
    }
    for (VideoShareSet* set : sets)
        set->removeAll();
}

void registerLive(VideoShareSet* set)
{
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(removeAtExit); });
    std::lock_guard<std::mutex> lock(liveSets().mutex);
    liveSets().sets.insert(set);
}

void unregisterLive(VideoShareSet* set)
{
    std::lock_guard<std::mutex> lock(liveSets().mutex);
    liveSets().sets.erase(set);
}

std::atomic<int> gObjectsAlive{0};

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// An object of another user is never written or taken: it could be anyone's.
bool ownedByUs(const ipc_perm& perm) { return perm.uid == ::geteuid(); }

// The segment of key with at least size bytes, owner-only; -1 when none.
int openSegment(key_t key, int size, int id)
{
    int shmid = ::shmget(key, size_t(size), IPC_CREAT | kOwnerOnly);
    if (shmid == -1 && errno == EINVAL) {
        // An earlier run with a larger image left a segment too small for
        // this size: made again, when it is ours.
        const int old = ::shmget(key, 0, 0);
        shmid_ds ds{};
        if (old != -1 && ::shmctl(old, IPC_STAT, &ds) == 0 && ownedByUs(ds.shm_perm)
            && ds.shm_segsz < size_t(size)) {
            LOG(INFO) << "video share " << id << ": segment of " << ds.shm_segsz << " bytes left from an earlier run, made again with " << size;
            ::shmctl(old, IPC_RMID, nullptr);
            shmid = ::shmget(key, size_t(size), IPC_CREAT | IPC_EXCL | kOwnerOnly);
        }
    }
    if (shmid == -1) {
        LOG(WARNING) << "video share " << id << ": no segment: " << errnoText().toStdString();
        return -1;
    }
    shmid_ds ds{};
    if (::shmctl(shmid, IPC_STAT, &ds) != 0 || !ownedByUs(ds.shm_perm)) {
        LOG(WARNING) << "video share " << id << ": the segment of the key belongs to another user, not used";
        return -1;
    }
    if ((ds.shm_perm.mode & 0777) != kOwnerOnly) {
        // Left by a run that made it readable and writable by everyone.
        ds.shm_perm.mode = (ds.shm_perm.mode & ~0777) | kOwnerOnly;
        ::shmctl(shmid, IPC_SET, &ds);
    }
    return shmid;
}

} // namespace

int CNT_Semaphore::create_sem(int n)
{
    const int id = ::semget(key, n, IPC_CREAT | kOwnerOnly);
    if (id == -1) {
        LOG(WARNING) << "video share: no semaphore: " << errnoText().toStdString();
        return id;
    }
    semid_ds ds{};
    SemArg arg{};
    arg.buf = &ds;
    if (::semctl(id, 0, IPC_STAT, arg) != 0 || !ownedByUs(ds.sem_perm)) {
        LOG(WARNING) << "video share: the semaphore of the key belongs to another user, not used";
        return id;
    }
    if ((ds.sem_perm.mode & 0777) != kOwnerOnly) {
        ds.sem_perm.mode = (ds.sem_perm.mode & ~0777) | kOwnerOnly;
        arg.buf = &ds;
        ::semctl(id, 0, IPC_SET, arg);
    }
    SemArg one{};
    one.val = 1;
    if (::semctl(id, 0, SETVAL, one) != 0) {
        LOG(WARNING) << "video share: semaphore not set: " << errnoText().toStdString();
        return id;
    }
    semid = id;
    return id;
}

bool CNT_Semaphore::P_sem(int limitMs)
{
    if (semid == -1)
        return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        const auto left = std::max<Clock::duration>(deadline - Clock::now(), Clock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{time_t(ns / 1000000000), long(ns % 1000000000)};
        sembuf op{0, -1, SEM_UNDO};
        if (::semtimedop(semid, &op, 1, &ts) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool CNT_Semaphore::V_sem()
{
    if (semid == -1)
        return false;
    sembuf op{0, 1, SEM_UNDO};
    return ::semop(semid, &op, 1) == 0;
}

bool CNT_Semaphore::retInitPV()
{
    if (semid == -1)
        return false;
    // An addition would free a semaphore nobody held and break the
    // exclusion from then on; setting it frees only what was held.
    SemArg one{};
    one.val = 1;
    return ::semctl(semid, 0, SETVAL, one) == 0;
}

int CNT_Semaphore::value() const { return semid == -1 ? -1 : ::semctl(semid, 0, GETVAL); }

bool CNT_Semaphore::remove()
{
    if (semid == -1)
        return false;
    const bool ok = ::semctl(semid, 0, IPC_RMID) == 0;
    semid = -1;
    return ok;
}

int VideoShareFps(int index)
{
    static const int kFps[] = {5, 10, 15, 20, 25};
    return kFps[std::clamp(index, 0, 4)];
}

JsonObject NewMemoryInfo()
{
    JsonObject root(cJSON_CreateObject(), cJSON_Delete);
    cJSON_AddItemToObject(root.get(), "memoryinfo", cJSON_CreateArray());
    return root;
}

void AppendMemoryInfo(cJSON* memoryInfo, const VideoShareInfo& share)
{
    cJSON* list = cJSON_GetObjectItemCaseSensitive(memoryInfo, "memoryinfo");
    if (!list)
        return;
    cJSON* entry = cJSON_CreateObject();
    cJSON_AddNumberToObject(entry, "shmid", share.shmid);
    cJSON_AddNumberToObject(entry, "semid", share.semid);
    cJSON_AddNumberToObject(entry, "cameraid", share.cameraid);
    cJSON_AddNumberToObject(entry, "size", share.size);
    cJSON_AddNumberToObject(entry, "width", share.width);
    cJSON_AddNumberToObject(entry, "height", share.height);
    cJSON_AddNumberToObject(entry, "fps", share.fps);
    cJSON_AddItemToArray(list, entry);
}

QByteArray PrintMemoryInfo(const cJSON* memoryInfo)
{
    char* text = cJSON_Print(memoryInfo);
    if (!text)
        return {};
    QByteArray bytes(text);
    cJSON_free(text);
    return bytes;
}

struct VideoShareSet::Slot {
    VideoShareInfo info;
    std::vector<uchar> pending;   // handed over, not yet taken (mutex_)
    bool hasPending = false;      // (mutex_)
    std::vector<uchar> work;      // the worker's
    cv::Mat i420;                 // the worker's
    std::mutex copyMutex;         // held from taking the semaphore to giving it back
    std::atomic<quint64> copied{0};
    std::atomic<quint64> replaced{0};
    std::atomic<quint64> skippedBusy{0};
};

VideoShareSet::VideoShareSet() : VideoShareSet(Options()) {}

VideoShareSet::VideoShareSet(const Options& options) : options_(options) { registerLive(this); }

VideoShareSet::~VideoShareSet()
{
    unregisterLive(this);
    removeAll();
}

VideoShareInfo VideoShareSet::make(const QString& keyPath, int id, int width, int height, int fps)
{
    if (slots_.count(id)) {
        // Registered again: the old objects go before the new are made.
        stopWorker();
        std::lock_guard<std::mutex> lock(mutex_);
        releaseObjects(*slots_[id]);
        slots_.erase(id);
    }
    auto slot = std::make_unique<Slot>();
    VideoShareInfo& info = slot->info;
    info.cameraid = id;
    // I420 needs even sides; each frame is cropped to them.
    info.width = std::max(width, 0) & ~1;
    info.height = std::max(height, 0) & ~1;
    info.size = info.width * info.height * 3 / 2;
    info.fps = fps;
    if (info.width != width || info.height != height)
        LOG(INFO) << "video share " << id << ": " << width << "x" << height << " shared as " << info.width << "x"
                  << info.height;

    const QByteArray path = QFile::encodeName(keyPath);
    const key_t shmKey = ::ftok(path.constData(), 1000 + id);
    const key_t semKey = ::ftok(path.constData(), 2000 + id);
    if (shmKey == -1 || semKey == -1) {
        // -1 would otherwise serve as the key of every share.
        LOG(WARNING) << "video share " << id << ": no key from " << keyPath.toStdString() << ": "
                     << errnoText().toStdString();
    } else if (info.size > 0) {
        info.shmid = openSegment(shmKey, info.size, id);
        if (info.shmid != -1) {
            void* address = ::shmat(info.shmid, nullptr, 0);
            if (address == reinterpret_cast<void*>(-1)) {
                LOG(WARNING) << "video share " << id << ": segment not attached: " << errnoText().toStdString();
                ::shmctl(info.shmid, IPC_RMID, nullptr);
                info.shmid = -1;
            } else {
                info.address = address;
                ++gObjectsAlive;
            }
        }
        auto semaphore = std::make_unique<CNT_Semaphore>(int(semKey));
        semaphore->create_sem(1);
        info.semid = semaphore->semid;
        if (info.semid != -1)
            ++gObjectsAlive;
        info.semaphore = semaphore.get();
        semaphores_.push_back(std::move(semaphore));
    }
    const VideoShareInfo made = info;
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[id] = std::move(slot);
    return made;
}

void VideoShareSet::releaseObjects(Slot& slot)
{
    VideoShareInfo& info = slot.info;
    if (info.address) {
        ::shmdt(info.address);
        info.address = nullptr;
    }
    if (info.shmid != -1) {
        ::shmctl(info.shmid, IPC_RMID, nullptr);
        info.shmid = -1;
        --gObjectsAlive;
    }
    if (info.semaphore && info.semaphore->semid != -1) {
        info.semaphore->remove();
        --gObjectsAlive;
    }
    info.semid = -1;
}

bool VideoShareSet::handOver(int id, const uchar* bgra, int bytesPerLine)
{
    if (!bgra)
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return false;
        auto it = slots_.find(id);
        if (it == slots_.end())
            return false;
        Slot& slot = *it->second;
        const VideoShareInfo& info = slot.info;
        if (info.shmid == -1 || info.semid == -1 || !info.address || info.size == 0)
            return false;
        const size_t row = size_t(info.width) * 4;
        slot.pending.resize(row * size_t(info.height));
        if (bytesPerLine == int(row)) {
            std::memcpy(slot.pending.data(), bgra, slot.pending.size());
        } else {
            for (int y = 0; y < info.height; ++y)
                std::memcpy(slot.pending.data() + row * size_t(y), bgra + size_t(bytesPerLine) * size_t(y), row);
        }
        if (slot.hasPending)
            ++slot.replaced;
        slot.hasPending = true;
        if (!worker_.joinable())
            startWorker();
    }
    wake_.notify_one();
    return true;
}

void VideoShareSet::startWorker()
{
    stopping_ = false;
    worker_ = std::thread([this] { run(); });
}

void VideoShareSet::stopWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
    for (auto& [id, slot] : slots_)
        slot->hasPending = false;
}

void VideoShareSet::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        Slot* next = nullptr;
        wake_.wait(lock, [&] {
            if (stopping_)
                return true;
            for (auto& [id, slot] : slots_)
                if (slot->hasPending) {
                    next = slot.get();
                    return true;
                }
            return false;
        });
        if (stopping_)
            return;
        Slot& slot = *next;
        std::swap(slot.pending, slot.work);
        slot.hasPending = false;
        ++busy_;
        lock.unlock();

        const VideoShareInfo& info = slot.info;
        const cv::Mat bgra(info.height, info.width, CV_8UC4, slot.work.data());
        cv::cvtColor(bgra, slot.i420, cv::COLOR_BGRA2YUV_I420);
        {
            std::lock_guard<std::mutex> copy(slot.copyMutex);
            if (slot.i420.isContinuous() && slot.i420.total() == size_t(info.size)
                && info.semaphore->P_sem(options_.takeLimitMs)) {
                std::memcpy(info.address, slot.i420.data, size_t(info.size));
                info.semaphore->V_sem();
                ++slot.copied;
            } else {
                // The reader holds it (or hangs): this frame is dropped, the
                // next one tries again.
                ++slot.skippedBusy;
            }
        }

        lock.lock();
        --busy_;
        idle_.notify_all();
    }
}

void VideoShareSet::releaseAll()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [id, slot] : slots_)
            slot->hasPending = false;
    }
    // Slots change only on this thread, so the map can be walked unlocked;
    // the copy lock keeps a reset out of a copy in progress, which would
    // otherwise leave the value at 2 when the copy gives it back.
    for (auto& [id, slot] : slots_) {
        std::lock_guard<std::mutex> copy(slot->copyMutex);
        if (slot->info.semaphore)
            slot->info.semaphore->retInitPV();
    }
}

void VideoShareSet::removeAll()
{
    stopWorker();
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, slot] : slots_)
        releaseObjects(*slot);
    slots_.clear();
}

VideoShareStats VideoShareSet::stats(int id) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = slots_.find(id);
    if (it == slots_.end())
        return {};
    return {it->second->copied.load(), it->second->replaced.load(), it->second->skippedBusy.load()};
}

bool VideoShareSet::waitIdle(int limitMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(limitMs), [&] {
        if (busy_ > 0)
            return false;
        for (auto& [id, slot] : slots_)
            if (slot->hasPending)
                return false;
        return true;
    });
}

int VideoShareObjectsAlive() { return gObjectsAlive.load(); }
