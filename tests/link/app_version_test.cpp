#include "link/app_version.h"
#include "link/update_records.h"

#include <gtest/gtest.h>
#include <ostream>
#include <vector>

namespace mirx::link {

void PrintTo(const AppVersion& v, std::ostream* os) {
    *os << int{v.major} << '.' << int{v.minor} << '.' << int{v.revision} << " build " << v.build
        << " platform " << int{v.platform} << " kind " << int{v.buildKind};
}

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::span<const std::uint8_t> s) {
    return {s.begin(), s.end()};
}

struct PackCase {
    AppVersion version;
    std::uint32_t packed;
};

TEST(AppVersion, PacksNewFormAndReadsItBack) {
    const PackCase cases[] = {
        {{5, 6, 1, 0x123, 5, 0}, 0x56112350},
        {{1, 0, 0, 0, 0, 0}, 0x10000000}, // smallest value in the new form
        {{6, 0, 0, 1, 6, 2}, 0x60000162},
        {{2, 3, 4, 0xABC, 5, 3}, 0x234ABC53},
        {{15, 15, 15, 0xFFF, 6, 5}, 0xFFFFFF65},
    };
    for (const PackCase& c : cases) {
        SCOPED_TRACE(c.packed);
        EXPECT_EQ(c.version.pack(), c.packed);
        EXPECT_EQ(unpack(c.packed), c.version);
    }
}

TEST(AppVersion, PackCutsEachFieldToItsWidth) {
    const AppVersion wide{0x15, 0x16, 0x17, 0x1ABC, 0x15, 0x13};
    EXPECT_EQ(wide.pack(), 0x567ABC53u);
}

struct OlderCase {
    std::uint32_t packed;
    AppVersion version;
};

TEST(AppVersion, ReadsOlderFormWithItsOwnRules) {
    const OlderCase cases[] = {
        {0x05060100, {5, 6, 1, 0, 15, 3}},        // build 0: private
        {0x050601FF, {5, 6, 1, 255, 15, 0}},      // build 255: release
        {0x05060107, {5, 6, 1, 7, 15, 2}},        // any other build: pre-release
        {0x0FFFFFFF, {15, 255, 255, 255, 15, 0}}, // largest older-form value
        {0x00000000, {0, 0, 0, 0, 15, 3}},
        // A new-form major of 0 cannot be told from the older form.
        {AppVersion{0, 1, 0, 0, 5, 0}.pack(), {1, 0, 0, 0x50, 15, 2}},
    };
    for (const OlderCase& c : cases) {
        SCOPED_TRACE(c.packed);
        EXPECT_EQ(unpack(c.packed), c.version);
    }
}

TEST(AppVersion, PlatformNames) {
    EXPECT_EQ(platformName(0), "Windows x86");
    EXPECT_EQ(platformName(1), "Windows CE");
    EXPECT_EQ(platformName(2), "iOS");
    EXPECT_EQ(platformName(3), "Droid");
    EXPECT_EQ(platformName(4), "MAC");
    EXPECT_EQ(platformName(5), "Linux");
    EXPECT_EQ(platformName(6), "Windows x64");
    EXPECT_EQ(platformName(7), "");
    EXPECT_EQ(platformName(kPlatformOlderForm), "");
    EXPECT_EQ(platformName(kConsolePlatform), "Linux");
    EXPECT_EQ(AppVersion{}.platform, 5);
}

struct AcceptCase {
    const char* what;
    std::uint32_t identifier;
    std::uint32_t packed;
    bool accepted;
};

TEST(AppVersion, AcceptsOnlyKnownServersFrom561) {
    const AcceptCase cases[] = {
        {"5.6.0", 0x0B23A16D, 0x56000050, false},
        {"5.6.1", 0x0B23A16D, 0x56100050, true},
        {"6.0.0", 0x0B23A16D, 0x60000050, true},
        {"5.7.0", 0x0B23A16D, 0x57000050, true},
        {"5.5.15", 0x0B23A16D, 0x55F00050, false},
        {"4.15.15", 0x0B23A16D, 0x4FF00050, false},
        {"older form 5.6.1", 0x0B23A16D, 0x05060100, true},
        {"older form 5.6.0", 0x0B23A16D, 0x050600FF, false},
        {"older form 5.10.0", 0x0B23A16D, 0x050A0000, true},
        {"second identifier", 0x364D4602, 0x56100050, true},
        {"third identifier", 0x58EB009C, 0x56100050, true},
        {"fourth identifier", 0xE992A923, 0x56100050, true},
        {"unknown identifier", 0x0B23A16E, 0x60000050, false},
        {"our own identifier", 0x28CFA05A, 0x60000050, false},
    };
    for (const AcceptCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(isAcceptedServer(c.identifier, c.packed), c.accepted);
    }
}

TEST(AppVersion, JudgesCompatibilityAnswers) {
    // Server 0x0B23A16D, version 5.6.1, compatible 1, update available 2.
    const Bytes accepted = {0x6D, 0xA1, 0x23, 0x0B, 0x50, 0x00, 0x10, 0x56, 0x01, 0x02};
    CompatibilityVerdict v = judgeCompatibility(accepted);
    EXPECT_TRUE(v.carriesVersion);
    EXPECT_EQ(v.serverIdentifier, 0x0B23A16Du);
    EXPECT_EQ(v.serverVersion, 0x56100050u);
    EXPECT_EQ(v.compatible, 1);
    EXPECT_EQ(v.updateAvailable, 2);

    // Version 5.6.0: the stated flags are kept for the log but not believed.
    const Bytes tooOld = {0x6D, 0xA1, 0x23, 0x0B, 0x50, 0x00, 0x00, 0x56, 0x01, 0x01};
    v = judgeCompatibility(tooOld);
    EXPECT_TRUE(v.carriesVersion);
    EXPECT_EQ(v.statedCompatible, 1);
    EXPECT_EQ(v.statedUpdateAvailable, 1);
    EXPECT_EQ(v.compatible, 0);
    EXPECT_EQ(v.updateAvailable, 0);

    // The 2-byte answer means neither, whatever its bytes.
    v = judgeCompatibility(Bytes{0x01, 0x01});
    EXPECT_FALSE(v.carriesVersion);
    EXPECT_EQ(v.compatible, 0);
    EXPECT_EQ(v.updateAvailable, 0);

    // A payload cut after the compatible byte: the missing flag reads 0.
    const Bytes cut(accepted.begin(), accepted.begin() + 9);
    v = judgeCompatibility(cut);
    EXPECT_EQ(v.compatible, 1);
    EXPECT_EQ(v.updateAvailable, 0);
}

TEST(AppVersion, TotalBlocksCountsOneMoreThanFullBlocks) {
    EXPECT_EQ(totalBlocks(0), 1u);
    EXPECT_EQ(totalBlocks(16349), 1u);
    EXPECT_EQ(totalBlocks(16350), 2u);
    EXPECT_EQ(totalBlocks(32700), 3u);
}

TEST(UpdateRecords, RequestsCarryTheConsoleIdentifier) {
    EXPECT_EQ(bytesOf(CompatibilityRequest::make(kConsoleApplicationId, 0x56112350).view()),
              (Bytes{0x5A, 0xA0, 0xCF, 0x28, 0x50, 0x23, 0x11, 0x56}));
    EXPECT_EQ(bytesOf(InfoRequest::make().view()), (Bytes{0x5A, 0xA0, 0xCF, 0x28}));
    EXPECT_EQ(bytesOf(ComponentInfoRequest::make(3).view()),
              (Bytes{0x5A, 0xA0, 0xCF, 0x28, 0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(bytesOf(BlockRequest::make(2, 0x0102).view()),
              (Bytes{0x5A, 0xA0, 0xCF, 0x28, 0x02, 0x00, 0x02, 0x01}));

    const auto blockRequest = BlockRequest::fromPayload(Bytes{0x5A, 0xA0, 0xCF, 0x28, 0x04, 0x00});
    EXPECT_EQ(blockRequest.get(BlockRequest::kIdentifier), kConsoleApplicationId);
    EXPECT_EQ(blockRequest.get(BlockRequest::kComponentIndex), 4);
    EXPECT_EQ(blockRequest.get(BlockRequest::kBlockNumber), 0);
}

TEST(UpdateRecords, InfoResponseLayout) {
    const Bytes payload = {0x53, 0x00, 0x10, 0x57, 0xDE, 0x3F, 0x00, 0x00, 0x03, 0x00, 0x01};
    const auto info = InfoResponse::fromPayload(payload);
    EXPECT_EQ(info.get(InfoResponse::kNewVersion), 0x57100053u);
    EXPECT_EQ(info.get(InfoResponse::kTotalSize), 16350u);
    EXPECT_EQ(info.get(InfoResponse::kComponentCount), 3);
    EXPECT_EQ(info.get(InfoResponse::kAskUser), 1);
    EXPECT_EQ(bytesOf(InfoResponse::make(0x57100053, 16350, 3, 1).view()), payload);
}

TEST(UpdateRecords, ComponentInfoResponseLayout) {
    Bytes payload(209, 0);
    const char name[] = "setup.run";
    for (std::size_t i = 0; name[i] != '\0'; ++i) {
        payload[2 + 2 * i] = static_cast<std::uint8_t>(name[i]);
    }
    payload[204] = 0x45;
    payload[205] = 0x23;
    payload[206] = 0x01;
    payload[208] = 2;

    const auto info = ComponentInfoResponse::fromPayload(payload);
    EXPECT_EQ(info.get(ComponentInfoResponse::kFileName), "setup.run");
    EXPECT_EQ(info.get(ComponentInfoResponse::kFileSize), 0x12345u);
    EXPECT_EQ(info.get(ComponentInfoResponse::kLaunchMode), kLaunchInstallerWithCommandLine);
    EXPECT_EQ(bytesOf(ComponentInfoResponse::make("setup.run", 0x12345, 2).view()), payload);
}

TEST(UpdateRecords, ComponentFileNameKeepsItsTerminator) {
    const auto full = ComponentInfoResponse::make(std::string(101, 'a'), 1, 0);
    const auto bytes = full.view();
    EXPECT_EQ(bytes[200], 'a'); // character 100 of 100
    EXPECT_EQ(bytes[201], 0);
    EXPECT_EQ(bytes[202], 0); // terminator
    EXPECT_EQ(bytes[203], 0);
    EXPECT_EQ(full.get(ComponentInfoResponse::kFileName), std::string(100, 'a'));
}

TEST(UpdateRecords, BlockResponseDecodingStaysInsideThePayload) {
    const Bytes whole = {0x03, 0x00, 0x05, 0x00, 1, 2, 3, 4, 5};
    BlockResponse b = decodeBlockResponse(whole);
    EXPECT_EQ(b.blockNumber, 3);
    EXPECT_EQ(b.byteCount, 5);
    EXPECT_EQ(bytesOf(b.data), (Bytes{1, 2, 3, 4, 5}));

    // More stated than carried: only what is there is handed out.
    const Bytes shortOfData = {0x02, 0x00, 0x0A, 0x00, 7, 8, 9};
    b = decodeBlockResponse(shortOfData);
    EXPECT_EQ(b.byteCount, 10);
    EXPECT_EQ(bytesOf(b.data), (Bytes{7, 8, 9}));

    // Fewer stated than carried: trailing bytes are not data.
    const Bytes trailing = {0x02, 0x00, 0x01, 0x00, 7, 8, 9};
    b = decodeBlockResponse(trailing);
    EXPECT_EQ(bytesOf(b.data), (Bytes{7}));

    const Bytes headCut = {0x07};
    b = decodeBlockResponse(headCut);
    EXPECT_EQ(b.blockNumber, 7);
    EXPECT_EQ(b.byteCount, 0);
    EXPECT_TRUE(b.data.empty());
}

TEST(UpdateRecords, BlockResponseEncodingSendsAtMostOneBlock) {
    EXPECT_EQ(encodeBlockResponse(0x0102, Bytes{9, 8}), (Bytes{0x02, 0x01, 0x02, 0x00, 9, 8}));

    const Bytes tooMuch(kBlockDataSize + 1, 0xAB);
    const Bytes sent = encodeBlockResponse(0, tooMuch);
    ASSERT_EQ(sent.size(), 4 + 16350u);
    EXPECT_EQ(sent[2], 0xDE); // 16350 = 0x3FDE
    EXPECT_EQ(sent[3], 0x3F);
}

} // namespace
} // namespace mirx::link
