// The firmware server end to end on loopback: the listener and the transfer inside a child
// process (they end the process as the utility does), a TFTP client as the device, the device's
// status page, and a scripted user at the dialogs. Most tests run the clock 25 times faster, with
// the same counts of polls, time-outs and ticks; one runs on the real clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/upgrade_state.h"
#include "platform/process.h"
#include "platform/test_hooks.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_user.h"
#include "tests/tftp/tftp_test_peers.h"
#include "tftp/tftp_listener.h"
#include "tools/zebdevice/tftp_fetch.h"
#include "ui/dialog_ids.h"

namespace {

using tftptest::Ack;
using tftptest::BlockNumber;
using tftptest::Loopback;
using tftptest::Opcode;
using tftptest::ReadRequest;
using tftptest::StatusPage;
using tftptest::UdpPeer;
using Seconds = std::chrono::duration<double>;
using SteadyClock = std::chrono::steady_clock;

constexpr std::uint32_t kFastClock = 25;
constexpr const char* kName = "/zeb1a2.bi1";
constexpr const char* kDefaultVersion = ZEB_DEFAULT_IMAGE_VERSION;
constexpr int kChildTimeoutMs = 60000;

const std::vector<std::uint8_t>& DefaultImage() {
    static const std::vector<std::uint8_t> image = [] {
        std::ifstream in(ZEB_TEST_TARGET_IMAGE, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>());
    }();
    return image;
}

// A small image with `version` in its header and a recognisable body.
std::vector<std::uint8_t> SmallImage(std::size_t size, const char* version) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + i / 512);
    }
    std::memset(image.data() + 92, 0, 36);
    std::memcpy(image.data() + 92, version, std::strlen(version));
    return image;
}

// Puts `bytes` (which must outlive the child's use) into an image slot of the upgrade state.
void UseImage(FirmwareImage* slot, const std::vector<std::uint8_t>& bytes) {
    slot->bytes = bytes.data();
    slot->size = static_cast<std::uint32_t>(bytes.size());
    std::memcpy(slot->header.bytes, bytes.data(), kImageHeaderSize);
}

// The upgrade state as the main thread leaves it when it starts the listener.
void PrepareUpgrade(int deviceLast, const std::vector<std::uint8_t>& image) {
    UseImage(&gUpgradeState.targetImage, image);
    gUpgradeState.stage.store(Target);
    std::snprintf(gUpgradeState.deviceAddressText, sizeof gUpgradeState.deviceAddressText,
                  "127.0.0.%d", deviceLast);
    gUpgradeState.deviceAddress = Loopback(deviceLast);
    gUpgradeState.transferFileName.Set(kName);
}

zebdevice::FetchRequest Fetch(int deviceLast, int serverLast, std::uint16_t port,
                              const char* name = kName) {
    zebdevice::FetchRequest request;
    request.deviceAddress = Loopback(deviceLast);
    request.serverAddress = Loopback(serverLast);
    request.serverPort = port;
    request.fileName = name;
    request.timeoutMs = 5000;
    return request;
}

// A text on one transcript line: line breaks written as \r and \n.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    }
    return out;
}

// Inside the child: waits for the success dialog, notes what it shows and presses OK.
void AcceptSuccess(ScriptedUser& user) {
    user.WaitForDialog(kDialogSuccess);
    TranscriptLine("success title=\"%s\" text=\"%s\" version=\"%s\"", user.Title().c_str(),
                   OneLine(user.Text(kControlMainText)).c_str(), user.Text(1004).c_str());
    user.Click(kControlOk);
}

// Inside the child: waits for the waiting dialog and its explanation (empty when `expectEmpty`),
// and notes the explanation.
void NoteWaitingDialog(ScriptedUser& user, bool expectEmpty) {
    user.WaitForDialog(kDialogWaiting);
    if (!expectEmpty) {
        user.WaitUntil(
            [](const std::vector<platform::desktop::WindowView>& windows) {
                for (const auto& w : windows) {
                    for (const auto& c : w.controls) {
                        if (w.templateId == kDialogWaiting && c.id == 1022 && !c.text.empty()) {
                            return true;
                        }
                    }
                }
                return false;
            },
            "the explanation of the waiting dialog");
    }
    TranscriptLine("explanation \"%s\"", OneLine(user.Text(1022)).c_str());
}

// Inside the child: waits for the common error box, notes its text and dismisses it.
void DismissFailure(ScriptedUser& user) {
    platform::desktop::WindowView box = user.WaitForMessageBox();
    TranscriptLine("failure \"%s\" caption \"%s\"", box.text.c_str(), box.title.c_str());
    user.Dismiss();
}

// Inside the child, after the user's last step: the listener must end the process by itself.
[[noreturn]] void AwaitListenerEnd() {
    std::this_thread::sleep_for(std::chrono::seconds(20));
    TranscriptLine("the listener did not end the process");
    platform::EndProcess(3);
}

const std::string kExplanationLine =
    "explanation \"Firmware upload will begin when the ZEB is idle, where the ZEB will request to "
    "download the firmware from this PC using TFTP at the first available UDP port starting at "
    "port number 69.\\r\\n\\r\\nIf firmware download does not start, please check that you "
    "have done the following: a) Hangup properly all the phones attached to the ZEB, b) Disable "
    "any firewall software (such as Internet Connection Firewall) on this PC, and c) Make sure "
    "that this PC and the ZEB are on the same LAN subnet; it will not work for example if this "
    "PC is behind a router while the ZEB is in front of it.\"";

bool Contains(const std::string& transcript, const std::string& line) {
    for (const std::string& l : TranscriptLines(transcript)) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

std::string SuccessLine(int deviceLast, const char* version) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "success title=\"ZEB@127.0.0.%d Upgrade Successful!\" text=\"Your ZEB has been "
                  "successfully\\r\\nupgraded to the version shown\\r\\nbelow.\" version=\"%s\"",
                  deviceLast, version);
    return line;
}

std::string FailureLine(const char* text) {
    return std::string("failure \"") + text + "\" caption \"ZEB Firwmare Upgrade Error\"";
}

// One full upgrade on the real clock: the whole image, the 29.984-second wait, the check of the
// new version and the success dialog, after which the listener ends the process.
TEST(TftpServerTest, ServesTheImageAndReportsSuccessOnTheRealClock) {
    ChildResult r = RunInChild(
        [] {
            PrepareUpgrade(61, DefaultImage());
            StatusPage page(Loopback(61), [] { return std::string(kDefaultVersion); });
            std::uint16_t port = StartTftpListener(Loopback(60));
            TranscriptLine("port %u", port);
            std::thread user([] {
                ScriptedUser u(60000);
                u.WaitForTitle("Updating Target Firmware");
                SteadyClock::time_point waitStart = SteadyClock::now();
                u.WaitForDialog(kDialogSuccess);
                double wait = Seconds(SteadyClock::now() - waitStart).count();
                TranscriptLine("wait ok=%d", wait >= 29.8 && wait < 33.0);
                AcceptSuccess(u);
            });
            zebdevice::FetchResult result = zebdevice::FetchFirmware(Fetch(61, 60, port));
            TranscriptLine("fetch complete=%d same=%d", result.complete,
                           result.image == DefaultImage());
            user.join();
            AwaitListenerEnd();
        },
        kChildTimeoutMs);
    ASSERT_FALSE(r.timedOut) << r.transcript;
    EXPECT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "port 69")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "fetch complete=1 same=1")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript,
                         "title 110 \"Uploading Target Firmware to ZEB@127.0.0.61 "
                         "759100/759100 Bytes\""))
        << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "title 110 \"Updating Target Firmware to ZEB@127.0.0.61\""))
        << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "wait ok=1")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, SuccessLine(61, kDefaultVersion))) << r.transcript;
}

// The device's faults that a transfer must survive: every one ends with the exact image and the
// success dialog.
TEST(TftpServerTest, DeliversTheExactImageThroughDeviceFaults) {
    struct Case {
        const char* what;
        zebdevice::TftpFaults faults;
        bool junkFirst;  // datagrams the listener must survive before the real request
    };
    auto faults = [](auto change) {
        zebdevice::TftpFaults f;
        change(f);
        return f;
    };
    const Case cases[] = {
        {"5% of DATA lost", faults([](auto& f) {
             f.dropDataShare = 0.05;
             f.dropSeed = 7;
         }),
         false},
        {"every ACK twice", faults([](auto& f) { f.duplicateAcks = true; }), false},
        {"stray datagrams", faults([](auto& f) { f.strayDatagrams = true; }), false},
        {"read request from two ports", faults([](auto& f) { f.twoPortRequests = true; }), false},
        {"wrong name first", faults([](auto& f) { f.badFirstRequest = "wrong"; }), false},
        {"other letter case first", faults([](auto& f) { f.badFirstRequest = "case"; }), false},
        {"short and unterminated datagrams first", {}, true},
    };
    for (const Case& c : cases) {
        ChildResult r = RunInChild(
            [&c] {
                platform::testing::SetTimeScale(kFastClock);
                PrepareUpgrade(63, DefaultImage());
                StatusPage page(Loopback(63), [] { return std::string(kDefaultVersion); });
                std::uint16_t port = StartTftpListener(Loopback(62));
                if (c.junkFirst) {
                    UdpPeer junk(Loopback(63));
                    std::string unterminated("\0\1", 2);
                    unterminated += kName;
                    unterminated.resize(1024, 'x');
                    for (const std::string& d :
                         {std::string(), std::string("\0", 1), unterminated,
                          std::string("\0\1", 2) + kName, std::string("\0\4\0", 3)}) {
                        junk.SendTo(d, Loopback(62), port);
                    }
                    std::string answer;
                    TranscriptLine("junk answered=%d", junk.Receive(&answer, 300));
                }
                std::thread user([] {
                    ScriptedUser u;
                    AcceptSuccess(u);
                });
                zebdevice::FetchRequest request = Fetch(63, 62, port);
                request.faults = c.faults;
                zebdevice::FetchResult result = zebdevice::FetchFirmware(request);
                TranscriptLine("fetch complete=%d same=%d failure=%s", result.complete,
                               result.image == DefaultImage(), result.failure.c_str());
                user.join();
                AwaitListenerEnd();
            },
            kChildTimeoutMs);
        ASSERT_FALSE(r.timedOut) << c.what << "\n" << r.transcript;
        EXPECT_EQ(r.exitCode, 0) << c.what << "\n" << r.transcript;
        EXPECT_TRUE(Contains(r.transcript, "fetch complete=1 same=1 failure=")) << c.what << "\n"
                                                                                << r.transcript;
        EXPECT_TRUE(Contains(r.transcript, SuccessLine(63, kDefaultVersion))) << c.what << "\n"
                                                                              << r.transcript;
        if (c.junkFirst) {
            EXPECT_TRUE(Contains(r.transcript, "junk answered=0")) << r.transcript;
        }
    }
}

// A client that decides every packet: duplicate ACKs bring no resend, and a lost block comes
// again unchanged after the time-out.
TEST(TftpServerTest, LockStepWithDuplicateAcksAndALostBlock) {
    ChildResult r = RunInChild(
        [] {
            platform::testing::SetTimeScale(kFastClock);
            static const std::vector<std::uint8_t> image = SmallImage(2100, "7.0.0.1");
            PrepareUpgrade(65, image);
            StatusPage page(Loopback(65), [] { return std::string("7.0.0.1"); });
            std::uint16_t port = StartTftpListener(Loopback(64));
            std::thread user([] {
                ScriptedUser u;
                AcceptSuccess(u);
            });
            UdpPeer device(Loopback(65));
            device.SendTo(ReadRequest(kName), Loopback(64), port);
            std::string packet;
            std::uint16_t from = 0;
            device.Receive(&packet, 2000, &from);
            static const char kOptionAck[] =
                "\0\6tsize\0"
                "2100\0timeout\0"
                "5";
            TranscriptLine("oack ok=%d from listener port=%d",
                           packet == std::string(kOptionAck, sizeof kOptionAck), from == port);
            device.SendTo(Ack(0), Loopback(64), port);
            device.SendTo(Ack(0), Loopback(64), port);
            std::string received;  // every DATA payload in order of arrival
            std::string lostCopy;
            int dataPackets = 0;
            for (int turn = 0; turn < 20 && device.Receive(&packet, 2000); ++turn) {
                if (Opcode(packet) != 3) {
                    TranscriptLine("unexpected opcode %u", Opcode(packet));
                    continue;
                }
                ++dataPackets;
                unsigned block = BlockNumber(packet);
                if (block == 2 && lostCopy.empty()) {
                    lostCopy = packet;  // lost on the way: no ACK
                    continue;
                }
                if (block == 2) {
                    TranscriptLine("resent block 2 identical=%d", packet == lostCopy);
                }
                received += packet.substr(4);
                device.SendTo(Ack(block), Loopback(64), port);
                device.SendTo(Ack(block), Loopback(64), port);
                if (packet.size() < 516) {
                    break;
                }
            }
            // Nothing more may come: the duplicate ACK of the last block is not answered either.
            TranscriptLine("data packets=%d extra=%d same=%d", dataPackets,
                           device.Receive(&packet, 300),
                           received == std::string(image.begin(), image.end()));
            user.join();
            AwaitListenerEnd();
        },
        kChildTimeoutMs);
    ASSERT_FALSE(r.timedOut) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "oack ok=1 from listener port=1")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "resent block 2 identical=1")) << r.transcript;
    // Five blocks (4 x 512 and 52 bytes), block 2 twice, nothing else.
    EXPECT_TRUE(Contains(r.transcript, "data packets=6 extra=0 same=1")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, SuccessLine(65, "7.0.0.1"))) << r.transcript;
    EXPECT_EQ(r.exitCode, 0) << r.transcript;
}

// A client that never acknowledges the OACK gets it 30 times; a device that stops acknowledging
// mid-way gets its block 30 times. Both transfers fail after the full flashing wait.
TEST(TftpServerTest, ThirtyTimeOutsFailTheUploadAfterTheWait) {
    for (bool midway : {false, true}) {
        ChildResult r = RunInChild(
            [midway] {
                platform::testing::SetTimeScale(kFastClock);
                static const std::vector<std::uint8_t> image = SmallImage(5000, "7.0.0.2");
                PrepareUpgrade(67, image);
                std::uint16_t port = StartTftpListener(Loopback(66));
                // The wait is 937 ticks of 32 ms; a tick boundary and the user's reaction may take
                // a little off what the user measures, a skipped wait takes it all.
                std::thread user([] {
                    ScriptedUser u;
                    u.WaitForTitle("Updating Target Firmware");
                    SteadyClock::time_point waitStart = SteadyClock::now();
                    u.WaitForMessageBox();
                    // Noted before the box goes: dismissing it lets the listener end the process.
                    TranscriptLine(
                        "after the wait=%d",
                        Seconds(SteadyClock::now() - waitStart).count() >= 29.0 / kFastClock);
                    DismissFailure(u);
                });
                UdpPeer device(Loopback(67));
                device.SendTo(ReadRequest(kName), Loopback(66), port);
                std::string packet;
                std::string first;
                int copies = 0;
                unsigned stopBlock = midway ? 3 : 0;
                while (device.Receive(&packet, 1000)) {
                    bool outstanding =
                        midway ? (Opcode(packet) == 3 && BlockNumber(packet) == stopBlock + 1)
                               : Opcode(packet) == 6;
                    if (!outstanding) {
                        device.SendTo(Ack(Opcode(packet) == 6 ? 0 : BlockNumber(packet)),
                                      Loopback(66), port);
                        continue;
                    }
                    if (first.empty()) {
                        first = packet;
                    }
                    copies += packet == first ? 1 : 1000;
                }
                TranscriptLine("copies=%d", copies);
                user.join();
                AwaitListenerEnd();
            },
            kChildTimeoutMs);
        ASSERT_FALSE(r.timedOut) << r.transcript;
        EXPECT_EQ(r.exitCode, 0) << r.transcript;
        EXPECT_TRUE(Contains(r.transcript, "copies=30")) << midway << "\n" << r.transcript;
        EXPECT_TRUE(
            Contains(r.transcript, FailureLine("Upgrade Failed: Firmware Upload Incomplete")))
            << r.transcript;
        EXPECT_TRUE(Contains(r.transcript, "after the wait=1")) << r.transcript;
        EXPECT_EQ(r.transcript.find("open 111"), std::string::npos) << r.transcript;
    }
}

// Datagrams of no use, arriving while the transfer waits for an ACK, never bring the resend
// closer: on the real clock the OACK is repeated no sooner than 100 ms after it was sent, while
// a stranger sends junk to the server's port about every millisecond.
TEST(TftpServerTest, StrangersDoNotHurryTheResend) {
    ChildResult r = RunInChild(
        [] {
            static const std::vector<std::uint8_t> image = SmallImage(2000, "7.0.0.3");
            PrepareUpgrade(79, image);
            std::uint16_t port = StartTftpListener(Loopback(78));
            UdpPeer device(Loopback(79));
            UdpPeer stranger(Loopback(79));
            std::atomic<bool> done{false};
            std::thread junk([&] {
                for (int i = 0; i < 5000 && !done; ++i) {
                    stranger.SendTo(std::string("\0\5junk", 6), Loopback(78), port);
                    std::this_thread::sleep_for(std::chrono::microseconds(1100));
                }
            });
            device.SendTo(ReadRequest(kName), Loopback(78), port);
            std::string packet;
            bool first = device.Receive(&packet, 2000) && Opcode(packet) == 6;
            SteadyClock::time_point sent = SteadyClock::now();
            bool second = device.Receive(&packet, 2000) && Opcode(packet) == 6;
            double gap = Seconds(SteadyClock::now() - sent).count();
            done = true;
            junk.join();
            TranscriptLine("oack twice=%d gap at least 95 ms=%d (%.1f ms)", first && second,
                           gap >= 0.095, gap * 1000);
            platform::EndProcess(0);
        },
        kChildTimeoutMs);
    ASSERT_FALSE(r.timedOut) << r.transcript;
    EXPECT_NE(r.transcript.find("oack twice=1 gap at least 95 ms=1"), std::string::npos)
        << r.transcript;
}

// The device now reports another version: an adapter fails, a handset is not checked.
TEST(TftpServerTest, ChecksTheNewVersionUnlessTheProductIsAHandset) {
    for (int handset : {0, 1}) {
        ChildResult r = RunInChild(
            [handset] {
                platform::testing::SetTimeScale(kFastClock);
                static const std::vector<std::uint8_t> image = SmallImage(3000, "7.0.0.3");
                PrepareUpgrade(73, image);
                gUpgradeState.profile.handset = handset;
                StatusPage page(Loopback(73), [] { return std::string("7.0.0.3b"); });
                std::uint16_t port = StartTftpListener(Loopback(72));
                std::thread user([handset] {
                    ScriptedUser u;
                    if (handset) {
                        AcceptSuccess(u);
                    } else {
                        DismissFailure(u);
                    }
                });
                zebdevice::FetchFirmware(Fetch(73, 72, port));
                user.join();
                AwaitListenerEnd();
            },
            kChildTimeoutMs);
        ASSERT_FALSE(r.timedOut) << r.transcript;
        EXPECT_EQ(r.exitCode, 0) << r.transcript;
        if (handset) {
            EXPECT_TRUE(Contains(r.transcript, SuccessLine(73, "7.0.0.3b"))) << r.transcript;
        } else {
            EXPECT_TRUE(Contains(r.transcript, FailureLine("Upgrade Failed: Version not matching")))
                << r.transcript;
            EXPECT_EQ(r.transcript.find("open 111"), std::string::npos) << r.transcript;
        }
    }
}

// Two stages on one port: the Transition image under the first name, the stage moves once, the
// old name is refused, then the Target image under the new name and the success dialog.
TEST(TftpServerTest, TwoStagesMoveTheStageOnceAndRefuseTheOldName) {
    ChildResult r = RunInChild(
        [] {
            platform::testing::SetTimeScale(kFastClock);
            static const std::vector<std::uint8_t> transition = SmallImage(1500, "7.1.0.0");
            static const std::vector<std::uint8_t> target = SmallImage(2600, "7.2.0.0");
            PrepareUpgrade(75, target);
            UseImage(&gUpgradeState.transitionImage, transition);
            gUpgradeState.stage.store(Transition);
            gUpgradeState.transferFileName.Set("/zeb1a2.bi0");
            StatusPage page(Loopback(75), [] {
                return std::string(gUpgradeState.stage.load() == Target ? "7.2.0.0" : "7.1.0.0");
            });
            std::uint16_t port = StartTftpListener(Loopback(74));
            ScriptedUser watcher;
            NoteWaitingDialog(watcher, false);
            std::thread user([] {
                ScriptedUser u;
                AcceptSuccess(u);
            });
            zebdevice::FetchResult first =
                zebdevice::FetchFirmware(Fetch(75, 74, port, "/zeb1a2.bi0"));
            TranscriptLine("transition same=%d",
                           first.image == std::vector<std::uint8_t>(transition));
            // The main thread's part: it waits for the stage and publishes the second name.
            for (int i = 0; i < 500 && gUpgradeState.stage.load() != Target; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            TranscriptLine("stage=%d", static_cast<int>(gUpgradeState.stage.load()));
            gUpgradeState.transferFileName.Set("/zeb1a2.bi1");
            zebdevice::FetchRequest old = Fetch(75, 74, port, "/zeb1a2.bi0");
            old.timeoutMs = 500;
            TranscriptLine("old name failure=%s", zebdevice::FetchFirmware(old).failure.c_str());
            zebdevice::FetchResult second =
                zebdevice::FetchFirmware(Fetch(75, 74, port, "/zeb1a2.bi1"));
            TranscriptLine("target same=%d", second.image == std::vector<std::uint8_t>(target));
            user.join();
            AwaitListenerEnd();
        },
        kChildTimeoutMs);
    ASSERT_FALSE(r.timedOut) << r.transcript;
    EXPECT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, kExplanationLine)) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "transition same=1")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "stage=1")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "old name failure=no-answer")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "target same=1")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript,
                         "title 110 \"Uploading Transition Firmware to ZEB@127.0.0.75 "
                         "1500/1500 Bytes\""))
        << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, SuccessLine(75, "7.2.0.0"))) << r.transcript;
    // The success dialog only once, at the very end.
    EXPECT_EQ(TranscriptLines(r.transcript, "open 111").size(), 1u) << r.transcript;
    EXPECT_EQ(TranscriptLines(r.transcript, "open 114").size(), 2u) << r.transcript;
}

// The waiting dialog: the first free port from 69, the explanation, and Cancel.
TEST(TftpServerTest, WaitsOnTheNextFreePortUntilCancelled) {
    ChildResult r = RunInChild(
        [] {
            PrepareUpgrade(69, DefaultImage());
            UdpPeer otherServer(Loopback(68), 69);
            std::uint16_t port = StartTftpListener(Loopback(68));
            TranscriptLine("port %u", port);
            ScriptedUser u;
            NoteWaitingDialog(u, false);
            u.Click(kControlCancel);
            DismissFailure(u);
            AwaitListenerEnd();
        },
        kChildTimeoutMs);
    ASSERT_FALSE(r.timedOut) << r.transcript;
    EXPECT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "port 70")) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, kExplanationLine)) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, FailureLine("Upgrade Failed: User Abort"))) << r.transcript;
}

// Cancel in the uploading dialog ends the program, during the upload and during the wait.
TEST(TftpServerTest, CancelWhileUploadingOrFlashingEndsTheProgram) {
    for (bool flashing : {false, true}) {
        ChildResult r = RunInChild(
            [flashing] {
                PrepareUpgrade(71, DefaultImage());
                std::uint16_t port = StartTftpListener(Loopback(70));
                UdpPeer device(Loopback(71));
                std::thread client;
                if (flashing) {
                    client = std::thread([port] { zebdevice::FetchFirmware(Fetch(71, 70, port)); });
                } else {
                    device.SendTo(ReadRequest(kName), Loopback(70), port);  // never acknowledged
                }
                ScriptedUser u;
                if (flashing) {
                    u.WaitForTitle("Updating Target Firmware");
                    client.join();  // the last ACK came before the wait began
                } else {
                    u.WaitForDialog(kDialogUploading);
                }
                u.Click(kControlCancel);
                DismissFailure(u);
                AwaitListenerEnd();
            },
            kChildTimeoutMs);
        ASSERT_FALSE(r.timedOut) << r.transcript;
        EXPECT_EQ(r.exitCode, 0) << r.transcript;
        EXPECT_TRUE(Contains(r.transcript, FailureLine("Upgrade Failed: User Abort")))
            << flashing << "\n"
            << r.transcript;
        EXPECT_EQ(r.transcript.find("open 111"), std::string::npos) << r.transcript;
    }
}

// A TFTP client that no one here wrote fetches the exact image.
TEST(TftpServerTest, ServesAnIndependentClient) {
    if (std::system("command -v curl >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "curl is not installed";
    }
    char path[] = "/tmp/zebtftp-curl-XXXXXX";
    int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ChildResult r = RunInChild(
        [&path] {
            platform::testing::SetTimeScale(kFastClock);
            PrepareUpgrade(77, DefaultImage());
            std::uint16_t port = StartTftpListener(Loopback(76));
            // The URL's path starts after the host's "/", so the name's own "/" is doubled.
            char command[512];
            std::snprintf(command, sizeof command,
                          "curl -s --max-time 20 --interface 127.0.0.77 -o %s "
                          "tftp://127.0.0.76:%u/%s",
                          path, port, kName);
            TranscriptLine("curl status=%d", std::system(command));
            platform::EndProcess(0);
        },
        kChildTimeoutMs);
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> fetched((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    std::remove(path);
    ASSERT_FALSE(r.timedOut) << r.transcript;
    EXPECT_TRUE(Contains(r.transcript, "curl status=0")) << r.transcript;
    EXPECT_TRUE(fetched == DefaultImage()) << fetched.size() << " bytes";
}

}  // namespace
