// A block transfer on a scheduler: starting returns at once, the preamble's pauses are the
// scheduler's timers, every block is one turn of its loop, and nothing else reaches the link
// until the walk has ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "memory/setup_file.h"
#include "memory/transfer_run.h"
#include "support/fake_clock.h"
#include "support/scripted_transfer.h"
#include "support/sim_link.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using ms = std::chrono::milliseconds;
using sim::Firmware;
using testing::FakeClock;
using testing::ScriptedTransfer;
using testing::SimLink;

// The scheduler of a test, with every delay a walk asks of it kept.
struct RecordingScheduler : Scheduler {
    explicit RecordingScheduler(FakeClock& fake) : inner(fake) {}
    void after(ms delay, std::function<void()> task) override {
        delays.push_back(delay);
        inner.after(delay, std::move(task));
    }
    FakeClock& inner;
    std::vector<ms> delays;
};

class SteppedTransfer : public ::testing::Test {
  protected:
    FakeClock fake;
    RecordingScheduler scheduler{fake};
};

// --- the preamble ---

TEST_F(SteppedTransfer, ThePreambleWaitsAHundredMillisecondsThenTenPerStaleByteOnTheScheduler) {
    ScriptedTransfer s;
    s.link.disableExchanges();
    s.wire.feedReceived({0x11, 0x22, 0x33});
    TransferRun run(s.transfer, scheduler);
    int stepsRun = 0;
    std::optional<TransferEnd> ended;
    const auto started = fake.now();
    ASSERT_TRUE(run.start(true, {[&](TransferRun::StepDone done) { done(++stepsRun > 0); }}, {},
                          [&](TransferEnd end) { ended = end; }));
    // Exchanges are on at once; the settle pause is a timer, and nothing has been read.
    EXPECT_TRUE(s.link.exchangesEnabled());
    EXPECT_EQ(scheduler.delays, std::vector<ms>{100ms});

    // One stale byte per turn, each followed by a 10 ms timer; nothing goes out meanwhile.
    for (int turn = 0; turn < 3; ++turn) {
        ASSERT_TRUE(fake.runOne());
        EXPECT_TRUE(s.controller.received.empty());
    }
    EXPECT_EQ(scheduler.delays, (std::vector<ms>{100ms, 10ms, 10ms, 10ms}));
    EXPECT_EQ(fake.now() - started, 120ms);

    // The turn that finds the line quiet sends the link check; the block waits for its own turn.
    ASSERT_TRUE(fake.runOne());
    EXPECT_EQ(fake.now() - started, 130ms);
    ASSERT_EQ(s.controller.received.size(), 1u);
    EXPECT_EQ(s.controller.received[0][1], 1);
    EXPECT_EQ(stepsRun, 0);
    ASSERT_TRUE(fake.runOne());
    EXPECT_EQ(stepsRun, 1);
    while (fake.runOne()) {
    }
    EXPECT_EQ(ended, TransferEnd::Finished);
    EXPECT_EQ(fake.now() - started, 130ms);
}

// --- blocks, one per turn ---

TEST_F(SteppedTransfer, AStartedBackupReturnsAtOnceAndReadsOneBlockPerTurn) {
    SimLink s(Firmware::V1_13);
    TransferRun run(*s.transfer, scheduler);
    std::vector<std::pair<int, int>> progress;
    std::optional<BackupResult> result;
    ASSERT_TRUE(startBackup(
        run, s.version(), [&](int done, int total) { progress.emplace_back(done, total); },
        [&](const BackupResult& r) { result = r; }));
    EXPECT_TRUE(run.busy());
    EXPECT_TRUE(s.received().empty());
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 68}}));

    ASSERT_TRUE(fake.runOne());  // the settle pause, then the link check
    EXPECT_EQ(s.received().size(), 1u);
    EXPECT_TRUE(s.codes().empty());
    for (std::size_t block = 1; block <= 68; ++block) {
        ASSERT_TRUE(fake.runOne());
        EXPECT_EQ(s.codes().size(), block);
        EXPECT_EQ(progress.back(), std::make_pair(static_cast<int>(block), 68));
    }
    EXPECT_FALSE(result);
    ASSERT_TRUE(fake.runOne());
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->complete());
    EXPECT_FALSE(run.busy());
    EXPECT_FALSE(fake.pending());

    // The same file as the blocking form gives.
    SimLink other(Firmware::V1_13);
    ASSERT_TRUE(backupController(*other.transfer, other.version()).complete());
    EXPECT_EQ(s.transfer->fileText(), other.transfer->fileText());
}

TEST_F(SteppedTransfer, ASecondWalkIsRefusedWhileOneRuns) {
    SimLink s(Firmware::V1_30);
    TransferRun run(*s.transfer, scheduler);
    ASSERT_TRUE(startBackup(run, s.version(), {}, {}));
    s.transfer->setSourceIni(std::make_unique<ProfileFile>("/nonexistent/in.skarnel"));
    bool restoreDone = false;
    EXPECT_FALSE(
        startRestore(run, s.version(), {}, [&](const RestoreResult&) { restoreDone = true; }));
    EXPECT_FALSE(startBackup(run, s.version(), {}, {}));
    while (fake.runNext(10ms)) {
    }
    EXPECT_FALSE(restoreDone);
    // Only the one backup went out: 68 reads, no write.
    EXPECT_EQ(s.codes(), std::vector<int>(68, 5));
}

// --- the link, held ---

TEST_F(SteppedTransfer, ACommandAskedForDuringTheWalkWaitsForItsEnd) {
    SimLink s(Firmware::V1_13);
    TransferRun run(*s.transfer, scheduler);
    ASSERT_TRUE(startBackup(run, s.version(), {}, {}));
    std::optional<std::uint8_t> key;
    // In the settle pause, and in the turn between two blocks: a key waits, unsent.
    s.link->send(Command{8, {5}, false, 4, 100ms}, [&](const Outcome& o) { key = o.status; });
    ASSERT_TRUE(fake.runOne());
    ASSERT_TRUE(fake.runOne());
    s.pump.processEvents();
    EXPECT_FALSE(key);
    EXPECT_EQ(s.codes(), std::vector<int>{5});

    while (fake.runNext(10ms)) {
    }
    // The walk over, the key goes out after its last read.
    for (int i = 0; i < 50 && !key; ++i) s.pump.advance(10ms);
    ASSERT_TRUE(key);
    EXPECT_EQ(*key, 0);
    std::vector<int> expected(68, 5);
    expected.push_back(8);
    EXPECT_EQ(s.codes(), expected);
    EXPECT_FALSE(s.link->busy());
}

// --- ending early ---

TEST_F(SteppedTransfer, ACancelEndsTheWalkWhereItStandsEvenFromInsideAStep) {
    SimLink s(Firmware::V1_13);
    TransferRun run(*s.transfer, scheduler);
    int stepsRun = 0;
    bool told = false;
    std::vector<TransferRun::BlockStep> steps(5, [&](TransferRun::StepDone done) {
        // The third step's exchange is where a close would come in.
        if (++stepsRun == 3) run.cancel();
        done(true);
    });
    ASSERT_TRUE(run.start(false, std::move(steps), {}, [&](TransferEnd) { told = true; }));
    while (fake.runNext(10ms)) {
    }
    EXPECT_EQ(stepsRun, 3);
    EXPECT_FALSE(told);
    EXPECT_FALSE(run.busy());
    EXPECT_FALSE(s.link->busy());
    // And the run takes a new walk.
    EXPECT_TRUE(run.start(false, {}, {}, {}));
}

TEST_F(SteppedTransfer, AShutDownLinkAbandonsTheBackupAtItsNextTurnAndItIsNotComplete) {
    SimLink s(Firmware::V1_13);
    TransferRun run(*s.transfer, scheduler);
    std::optional<BackupResult> result;
    ASSERT_TRUE(startBackup(
        run, s.version(),
        [&](int done, int) {
            if (done == 3) s.link->shutDown();
        },
        [&](const BackupResult& r) { result = r; }));
    while (fake.runNext(10ms)) {
    }
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->abandoned);
    EXPECT_TRUE(result->received);
    EXPECT_TRUE(result->failed.empty());
    EXPECT_FALSE(result->complete());
    EXPECT_EQ(s.codes().size(), 3u);
    EXPECT_FALSE(s.link->busy());
}

}  // namespace
}  // namespace kt6
