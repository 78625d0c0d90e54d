// The readers of the Sahara and Firehose tools' output, fed recorded runs in chunks of every
// size and hostile output (binary, endless, cut short).

#include "chipsets/tool_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A Sahara run as the tool prints it.
const std::string kSaharaRun =
    "INFO: function: main:265 Binary build date: Mar 14 2024 @ 09:26:53\n"
    "INFO: function: main:286 Opening port \\\\.\\COM14\n"
    "INFO: function: sahara_main:924 Received HELLO, version 2\n"
    "INFO: function: sahara_start:734 Sending image 13 (358400 bytes)\n"
    "INFO: function: sahara_start:814 Received END_IMAGE_TX for image 13\n"
    "INFO: function: main:320 File transferred successfully\n"
    "INFO: function: main:330 Sahara protocol completed\n";

const std::string kSaharaFailedRun =
    "INFO: function: main:286 Opening port \\\\.\\COM14\n"
    "ERROR: function: sahara_main:854 The target refused the image\n"
    "ERROR: function: main:303 Uploading  Image using Sahara protocol failed\n";

// A Firehose run as the tool prints it.
const std::string kFirehoseRun =
    "Base Version: 19.03.14.09.26.53\n"
    "Sending <configure> MemoryName=nand\n"
    "{<program> FILE:  'sbl1.mbn'}\n"
    "{percent files transferred  12.50%}\n"
    "{<program> FILE:  'NON-HLOS.bin'}\n"
    "{percent files transferred  45.50%}\n"
    "{percent files transferred 100.00%}\n"
    "{set active partition 0}\n"
    "{All Finished Successfully}\n";

std::vector<std::string> chunksOf(const std::string& text, size_t size) {
  std::vector<std::string> chunks;
  for (size_t at = 0; at < text.size(); at += size) chunks.push_back(text.substr(at, size));
  return chunks;
}

ToolVerdict feedSahara(SaharaOutputReader& reader, const std::vector<std::string>& chunks) {
  for (const std::string& chunk : chunks) {
    const ToolVerdict verdict = reader.add(chunk);
    if (verdict != ToolVerdict::None) return verdict;
  }
  return ToolVerdict::None;
}

struct FirehoseSeen {
  ToolVerdict verdict = ToolVerdict::None;
  std::string errorText;
  std::vector<std::string> files;
  std::vector<double> fractions;
};

FirehoseSeen feedFirehose(const std::vector<std::string>& chunks) {
  FirehoseOutputReader reader;
  FirehoseSeen seen;
  for (const std::string& chunk : chunks) {
    FirehoseNews news = reader.add(chunk);
    seen.files.insert(seen.files.end(), news.files.begin(), news.files.end());
    if (news.fraction) seen.fractions.push_back(*news.fraction);
    if (news.verdict != ToolVerdict::None) {
      seen.verdict = news.verdict;
      seen.errorText = news.errorText;
      break;
    }
  }
  return seen;
}

// ---- Sahara ----

TEST(SaharaOutputTest, RecordedRunSucceedsInChunksOfEverySize) {
  for (size_t size = 1; size <= kSaharaRun.size(); ++size) {
    SaharaOutputReader reader;
    EXPECT_EQ(feedSahara(reader, chunksOf(kSaharaRun, size)), ToolVerdict::Success) << size;
  }
}

TEST(SaharaOutputTest, RecordedFailureFailsInChunksOfEverySize) {
  for (size_t size = 1; size <= kSaharaFailedRun.size(); size += 3) {
    SaharaOutputReader reader;
    EXPECT_EQ(feedSahara(reader, chunksOf(kSaharaFailedRun, size)), ToolVerdict::Failure) << size;
  }
}

TEST(SaharaOutputTest, OnlyTheTextFromTheLastInfoLineIsKept) {
  SaharaOutputReader reader;
  EXPECT_EQ(reader.add("noise\nINFO: function: a:1 first\nINFO: function: b:2 second"),
            ToolVerdict::None);
  EXPECT_EQ(reader.buffer(), "INFO: function: b:2 second");
  // Hundreds of INFO lines never make the kept text grow.
  for (int i = 0; i < 500; ++i) reader.add("INFO: function: step:" + std::to_string(i) + "\n");
  EXPECT_EQ(reader.buffer(), "INFO: function: step:499\n");
  EXPECT_EQ(reader.add("INFO: function: main:320 File transferred successfully\n"),
            ToolVerdict::Success);
}

// ---- Firehose ----

TEST(FirehoseOutputTest, RecordedRunReportsFilesProgressAndSuccessInChunksOfEverySize) {
  const std::string beforeTheEnd = kFirehoseRun.substr(0, kFirehoseRun.find("{set active"));
  for (size_t size = 1; size <= kFirehoseRun.size(); ++size) {
    EXPECT_EQ(feedFirehose(chunksOf(kFirehoseRun, size)).verdict, ToolVerdict::Success) << size;
    // Entries that complete in one chunk: the newest is shown.
    const FirehoseSeen seen = feedFirehose(chunksOf(beforeTheEnd, size));
    EXPECT_EQ(seen.verdict, ToolVerdict::None);
    ASSERT_FALSE(seen.files.empty()) << size;
    EXPECT_EQ(seen.files.back(), "NON-HLOS.bin") << size;
    if (size == 1) {
      EXPECT_EQ(seen.files, (std::vector<std::string>{"sbl1.mbn", "NON-HLOS.bin"}));
    }
    ASSERT_FALSE(seen.fractions.empty()) << size;
    EXPECT_DOUBLE_EQ(seen.fractions.back(), 1.0) << size;
  }
  const FirehoseSeen bySteps = feedFirehose(chunksOf(beforeTheEnd, 1));
  EXPECT_EQ(bySteps.fractions, (std::vector<double>{12.5 / 100, 45.5 / 100, 1.0}));
}

TEST(FirehoseOutputTest, AProgressOf45Point50IsAFractionOf0Point455) {
  const FirehoseSeen seen = feedFirehose({"{percent files transferred 45.50%}"});
  ASSERT_EQ(seen.fractions.size(), 1u);
  EXPECT_DOUBLE_EQ(seen.fractions[0], 0.455);
}

TEST(FirehoseOutputTest, AnErrorEndsTheRunWithItsText) {
  const std::string run =
      "{<program> FILE:  'system.img'}\n{ERROR: Failed to write 'system' at sector 0 }\n";
  FirehoseSeen seen = feedFirehose({run});
  EXPECT_EQ(seen.verdict, ToolVerdict::Failure);
  // The blank before the "}" is not part of the text.
  EXPECT_EQ(seen.errorText, "ERROR: Failed to write 'system' at sector 0");
  // The error decides the run as soon as it shows, with the text that came so far.
  seen = feedFirehose(chunksOf(run, 7));
  EXPECT_EQ(seen.verdict, ToolVerdict::Failure);
  EXPECT_EQ(std::string("ERROR: Failed to write").rfind(seen.errorText, 0), 0u) << seen.errorText;

  seen = feedFirehose({"{ERROR: Target did not respond, COM port closed"});
  EXPECT_EQ(seen.verdict, ToolVerdict::Failure);
  EXPECT_EQ(seen.errorText, "ERROR: Target did not respond, COM port closed");

  // Without its "}" a long error text is cut.
  seen = feedFirehose({"{ERROR: " + std::string(5000, 'e')});
  EXPECT_EQ(seen.errorText.size(), 2255u);
}

TEST(FirehoseOutputTest, RepeatedEntriesAreReportedOnce) {
  FirehoseOutputReader reader;
  EXPECT_EQ(reader.add("{<program> FILE:  'boot.img'}").files.size(), 1u);
  EXPECT_TRUE(reader.add("\n").files.empty());
  EXPECT_EQ(reader.add("{percent files transferred 10%}").fraction, 0.1);
  EXPECT_FALSE(reader.add("\n").fraction);
}

// ---- Hostile output ----

TEST(ToolOutputTest, EndlessOutputWithoutALineEndStaysBounded) {
  SaharaOutputReader sahara;
  FirehoseOutputReader firehose;
  const std::string chunk(ToolOutputBuffer::kChunkSize, 'A');
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(sahara.add(chunk), ToolVerdict::None);
    EXPECT_EQ(firehose.add(chunk).verdict, ToolVerdict::None);
    ASSERT_LE(sahara.buffer().size(), ToolOutputBuffer::kCapacity);
    ASSERT_LE(firehose.buffer().size(), ToolOutputBuffer::kCapacity);
  }
  // An entry that never closes is kept only as long as the buffer allows.
  firehose.add("{<program> FILE:  '");
  for (int i = 0; i < 200; ++i) firehose.add(chunk);
  EXPECT_LE(firehose.buffer().size(), ToolOutputBuffer::kCapacity);
}

TEST(ToolOutputTest, APhraseThatStraddlesARestartIsMissed) {
  ToolOutputBuffer buffer;
  buffer.append(std::string(ToolOutputBuffer::kCapacity - 10, 'x'));
  buffer.append("0123456789");  // exactly full
  EXPECT_EQ(buffer.text().size(), ToolOutputBuffer::kCapacity);
  buffer.append("!");  // past the capacity: the chunk replaces the text
  EXPECT_EQ(buffer.text(), "!");

  SaharaOutputReader reader;
  reader.add(std::string(ToolOutputBuffer::kCapacity - 10, 'x') + "File trans");
  EXPECT_EQ(reader.add("ferred successfully"), ToolVerdict::None);
}

TEST(ToolOutputTest, BinaryBytesAreOnlyData) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>(i * 37 % 256);
  SaharaOutputReader sahara;
  FirehoseOutputReader firehose;
  for (const std::string& chunk : chunksOf(binary, ToolOutputBuffer::kChunkSize)) {
    sahara.add(chunk);
    firehose.add(chunk);
  }
  // A NUL byte does not hide what follows it.
  EXPECT_EQ(sahara.add(std::string("\0\0", 2) + "File transferred successfully"),
            ToolVerdict::Success);
  EXPECT_EQ(firehose.add(std::string("\0", 1) + "{All Finished Successfully}").verdict,
            ToolVerdict::Success);
}

TEST(ToolOutputTest, MalformedFirehoseEntriesAreSkipped) {
  const FirehoseSeen seen = feedFirehose({
      "{<program> FILE:}",                  // too short for a name
      "{<program> FILE: '}",                // the same
      "{percent files transferred }",       // no number
      "{percent files transferred abc}",    // not a number
      "{percent files transferred nan}",    // not a fraction
      "{percent files transferred 1e999}",  // out of range
      "{percent files transferred -5}",     // held at 0
      "{percent files transferred 250}",    // held at 1
  });
  EXPECT_EQ(seen.verdict, ToolVerdict::None);
  EXPECT_TRUE(seen.files.empty());
  EXPECT_EQ(seen.fractions, (std::vector<double>{0.0, 1.0}));
  EXPECT_TRUE(feedFirehose({"{percent files transferred 12"}).fractions.empty());
}

TEST(ToolOutputTest, OutputCutMidEntryWaitsForTheRest) {
  FirehoseOutputReader reader;
  EXPECT_TRUE(reader.add("junk {<program> FILE:  'modem").files.empty());
  EXPECT_EQ(reader.buffer(), "{<program> FILE:  'modem");
  EXPECT_EQ(reader.add(".img'}").files, (std::vector<std::string>{"modem.img"}));
}

}  // namespace
