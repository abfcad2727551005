#pragma once

#include "bench/loopback_pair.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Runs the measured code and its yardsticks in turn (A B C A B C ...), so a
// change in the machine's load touches all of them alike, and keeps each
// one's median. A ratio is only taken between medians of one such run.
struct Measure {
    std::string name;
    // One timed round; returns its seconds.
    std::function<double()> round;
    std::vector<double> seconds = {};

    double median() const {
        if (seconds.empty()) {
            return 0;
        }
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t mid = sorted.size() / 2;
        return sorted.size() % 2 != 0 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
    }
};

inline void runInterleaved(std::vector<Measure>& measures, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        for (Measure& m : measures) {
            m.seconds.push_back(m.round());
        }
    }
    for (const Measure& m : measures) {
        const auto [low, high] = std::minmax_element(m.seconds.begin(), m.seconds.end());
        std::printf("%-28s median %9.3f ms  (min %.3f, max %.3f, %zu rounds)\n", m.name.c_str(),
                    m.median() * 1e3, *low * 1e3, *high * 1e3, m.seconds.size());
    }
}

// Seconds `work` takes.
template <typename Work>
double timed(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The two yardsticks of a request/response benchmark, `count` raw loopback
// ping-pongs each: with blocking sockets, and busy-polling (the floor).
inline Measure blockingPingPongs(RawPingPong& pingPong, int count) {
    return {"raw ping-pong, blocking", [&pingPong, count] {
                return timed([&] {
                    for (int i = 0; i < count; ++i) {
                        pingPong.exchange();
                    }
                });
            }};
}

inline Measure busyPingPongs(BusyRawPingPong& pingPong, int count) {
    return {"raw ping-pong, busy (floor)", [&pingPong, count] {
                pingPong.begin();
                struct End {
                    BusyRawPingPong& p;
                    ~End() { p.end(); }
                } end{pingPong};
                return timed([&] {
                    for (int i = 0; i < count; ++i) {
                        pingPong.exchange();
                    }
                });
            }};
}

// Raw ping-pongs of a mix of answer sizes, as many of each as the measured
// work gets: one request size, answers of `counts` bytes (size -> how many).
class PingPongMix {
public:
    PingPongMix(std::size_t requestBytes, const std::map<std::size_t, int>& counts)
        : requestBytes_(requestBytes)
        , counts_(counts) {
        for (const auto& [bytes, count] : counts) {
            blocking_.push_back({std::make_unique<RawPingPong>(requestBytes, bytes), count});
            blocking_.back().pingPong->keepOnCoreZero();
        }
    }

    // Blocking, both ends on core 0: on a machine whose idle cores halt an
    // unpinned ping-pong is fast or several times slower as the scheduler
    // places its threads, and its slow mode would flatter what it measures.
    Measure blocking() {
        return {"raw ping-pong, blocking", [this] {
                    const OnCoreZero pinned;
                    return timed([this] {
                        for (const auto& [pingPong, count] : blocking_) {
                            for (int i = 0; i < count; ++i) {
                                pingPong->exchange();
                            }
                        }
                    });
                }};
    }

    // The floor; one far end spins at a time, as two would take both cores.
    // Made only for a benchmark that measures the floor.
    Measure busy() {
        if (busy_.empty()) {
            for (const auto& [bytes, count] : counts_) {
                busy_.push_back({std::make_unique<BusyRawPingPong>(requestBytes_, bytes), count});
            }
        }
        return {"raw ping-pong, busy (floor)", [this] {
                    double s = 0;
                    for (const auto& [pingPong, count] : busy_) {
                        pingPong->begin();
                        s += timed([&] {
                            for (int i = 0; i < count; ++i) {
                                pingPong->exchange();
                            }
                        });
                        pingPong->end();
                    }
                    return s;
                }};
    }

private:
    template <typename PingPong>
    struct Share {
        std::unique_ptr<PingPong> pingPong;
        int count;
    };
    std::size_t requestBytes_;
    std::map<std::size_t, int> counts_;
    std::vector<Share<RawPingPong>> blocking_;
    std::vector<Share<BusyRawPingPong>> busy_;
};
