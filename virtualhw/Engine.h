// Engine.h - the running virtual hardware: the world behind one lock, open
// handles, simulated time and physics, and the event connections with their
// sender threads. Used by the device library and by the control interface.
#ifndef VIRTUALHW_ENGINE_H
#define VIRTUALHW_ENGINE_H

#include "virtualhw/EventStream.h"
#include "virtualhw/VirtualControl.h"
#include "virtualhw/World.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace vhw {

// One event connection of a system: the library's end of a TCP connection to
// the program's event port, or (B8181) of a socket pair whose other end the
// program reads. A sender thread writes queued records in batches; all waits
// are bounded so stop() returns promptly.
class EventConnection {
public:
    explicit EventConnection(int fd);
    ~EventConnection();
    EventConnection(const EventConnection &) = delete;
    EventConnection &operator=(const EventConnection &) = delete;

    void start();
    void stop();                            // joins the sender thread, closes the socket
    bool alive() const { return !dead_.load(); }
    // While held nothing is sent; records keep waiting (and coalescing).
    void hold(bool held);

    void push(const stream::Record &r);     // value records of one item coalesce
    void setStatus(const ORVEHV_SYSTEMSTATUS_t &s);
    void sendRaw(const std::string &bytes);
    // Queues n records cycling over the targets; the k-th record of this
    // flood carries (k % 100000) / 10. perSecond > 0 paces them (in batches
    // of at most a millisecond's worth), 0 sends as fast as the peer reads.
    void flood(unsigned n, std::vector<stream::Record> targets, unsigned perSecond = 0);

    int readerFd = -1;                      // B8181: the end handed to the program

private:
    void run();
    bool sendAll(const std::string &data);
    size_t floodDueLocked() const;          // flood records to send now (m_ held)

    std::mutex m_;
    std::condition_variable cv_;
    std::vector<stream::Record> pending_;
    std::map<std::tuple<int, int, std::string>, size_t> index_;
    std::deque<std::string> raw_;
    unsigned flood_ = 0;
    uint32_t floodSeq_ = 0;
    std::vector<stream::Record> floodTargets_;
    unsigned floodRate_ = 0;
    std::chrono::steady_clock::time_point floodStart_;
    ORVEHV_SYSTEMSTATUS_t status_{};
    std::atomic<bool> stop_{false};
    std::atomic<bool> dead_{false};
    std::atomic<bool> held_{false};
    int fd_;
    std::thread thread_;
};

class Engine {
public:
    static Engine &get();

    std::mutex mu;                          // guards everything below

    World &world();                         // loads the starting world at first use
    System *byHandle(int handle);
    System *byId(int id);
    int idOf(const System *s) const;
    bool replaceWorld(World &&w);
    std::string startupError;               // fault of the ORVEHV_WORLD file, if any

    // `argument` is the one InitSystem was given (the system's own or its alias).
    int openHandle(System &s, const std::string &user, const std::string &argument);
    void closeHandle(int handle);
    // The argument a handle was opened with; empty for an unknown handle.
    std::string argumentOf(int handle) const;

    // Events (no-ops without a live connection / subscription).
    bool subscribed(const System &s, int board, int channel, const std::string &name) const;
    void emitValue(System &s, int board, int channel, const std::string &name);
    void emitRecord(System &s, const stream::Record &r);
    void updateEventStatus(System &s);
    // ORVEHV_OK or an error code. `identifier` is the argument the handle was
    // opened with (empty: the system's argument): a loopback address of a
    // networked system is connected from, anything else is sent first in the
    // identifier block.
    int connect(System &s, uint16_t port, const std::string &identifier = std::string());
    int eventSocket(System &s);             // B8181 reader end (opens the pair), -1 on failure
    void dropConnection(System &s);
    void retireReader(int fd);
    bool releaseRetired(int fd);            // closes fd if it is a retired reader end

    // Device behaviour.
    void channelWritten(System &s, Board &b, int channel, int paramIdx, double value);
    void boardWritten(System &s, Board &b, int paramIdx, double value);
    int command(System &s, const std::string &name);
    // A system property was written (Commands.cpp): what the device does then.
    void sysPropWritten(System &s, const std::string &name);
    void clearAlarms(System &s, Board *only);
    void settleChannel(System &s, Board &b, int channel, double dt);
    void refreshBoardStatus(System &s, Board &b);
    void advance(double seconds);

    std::string encodeChannelValue(const ParamDef &d, double v) const;
    std::string encodeSysProp(const SysProp &p) const;

    TimeMode mode = TimeMode::WallClock;
    double simTime = 0;
    std::atomic<uint64_t> calls{0};

private:
    Engine();
    void physicsLoop();
    void shutdown();
    static void atExit();
    void tripChannel(System &s, Board &b, int channel);
    void startSupplies();

    std::unique_ptr<World> world_;
    std::map<int, System *> handles_;
    std::map<int, std::string> handleArguments_;
    int nextHandle_ = 1;
    std::vector<std::pair<int, double>> retired_; // reader fd, wall-clock deadline
    std::thread physics_;
    std::condition_variable physicsCv_;
    bool stopping_ = false;
};

} // namespace vhw

#endif
