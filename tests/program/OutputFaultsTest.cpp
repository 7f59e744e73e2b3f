// The real Sondrel.exe and an output folder that fails it: a small file system that fills
// during a recording, and a folder that goes away or turns read-only during a recording
// (the user is told with the program's message for a recording that fails, the file keeps
// everything written until then, and once there is room again or the folder is back the
// next recording works); a folder that goes while a recording is paused; and a folder that
// is gone when a recording starts.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "res/resource.h"
#include "support/AudioCheck.h"
#include "support/FailingFolder.h"
#include "support/RunningProgram.h"
#include "support/SmallFileSystem.h"
#include "support/TempDir.h"
#include "tests/filters/wavdest/RecordingGraph.h"
#include "tests/program/VirtualDeviceSettings.h"
#include "tests/program/WaveFileCheck.h"

namespace {

const PcmFormat kFormat{2, 44100, 16};
constexpr uint64_t kDiskBytes = 512 * 1024;
constexpr uint64_t kBufferBytes = 17640;  // the recorder's 100 ms buffers at this format
constexpr char kFailed[] = "Recording stopped because of an error!";

bool IsWav(const std::string& name) { return name.size() >= 4 && name.compare(name.size() - 4, 4, ".wav") == 0; }

// Records a second or more with the program, as a user does once the output folder works
// again: the recording ends without a message, the title names `name`, and the file, at
// `path`, reads cleanly and holds what was recorded (WAV: the counter signal, intact).
void ExpectRecordsAgain(RunningProgram& program, CFilterTestEnvironment& environment, const std::string& name,
                        const std::string& path) {
  const bool wav = IsWav(path);
  environment.capture.SetPacing(kTestDevice, TestPacing::RealTime);
  ASSERT_TRUE(program.Click(IDC_RECORD)) << program.BoxText();
  const uint64_t start = environment.capture.State(kTestDevice).framesDelivered;
  ASSERT_TRUE(environment.capture.WaitForFrames(kTestDevice, start + kFormat.sampleRate, 20000));
  ASSERT_TRUE(program.Click(IDC_RECORD)) << program.BoxText();
  EXPECT_EQ(program.BoxText(), "");
  EXPECT_EQ(program.Title(), "Velmora Sondrel - " + name);
  EXPECT_EQ(StrictReaderComplaints(path), "");
  double seconds = 0;
  if (wav) {
    const WaveFileCheck check = CheckWaveFile(path, kFormat);
    ASSERT_EQ(check.error, "");
    EXPECT_EQ(check.firstCounterMismatch, check.dataBytes) << "a sample was lost or repeated";
    seconds = double(check.dataBytes / kFormat.BlockAlign()) / kFormat.sampleRate;
  } else {
    seconds = DecodeWithFfmpeg(path).Seconds();
  }
  EXPECT_GE(seconds, 1.0);
  EXPECT_LT(seconds, 3.0);
}

struct DiskCase {
  const char* name;
  const char* fileFormat;
  const char* extension;
};

class FullDisk : public testing::TestWithParam<DiskCase> {};

TEST_P(FullDisk, StopsWithTheMessageKeepsTheFileAndRecordsAgainOnceThereIsRoom) {
  const DiskCase& c = GetParam();
  const bool wav = c.fileFormat[0] == '1';
  CFilterTestEnvironment environment;
  environment.capture.SetSignal(kTestDevice, wav ? TestSignal::Counter : TestSignal::Tone);
  // As fast as the graph takes it: the disk fills in moments, whatever the format's rate.
  environment.capture.SetPacing(kTestDevice, TestPacing::Fast);
  TempDir dir;
  const std::string output = dir.File("disk");
  SmallFileSystem disk(output, kDiskBytes);
  if (!disk.mounted()) GTEST_SKIP() << "no small file system can be mounted here: " << disk.error();

  RunningProgram program(dir.path(), VirtualDeviceSettings(output, c.fileFormat));
  ASSERT_NE(program.Window(), nullptr);
  ASSERT_TRUE(program.Click(IDC_RECORD));
  EXPECT_EQ(program.WaitForBox(20000), kFailed);
  const std::string first = output + "\\0001" + c.extension;
  EXPECT_EQ(program.Title(), std::string("Velmora Sondrel - 0001") + c.extension);
  const std::string next = program.Text(IDC_FILENAME);
  EXPECT_EQ(next.substr(next.size() - 8), std::string("0002") + c.extension) << next;

  // Room again, also for the decoders' own files.
  program.AnswerBoxes();
  ASSERT_TRUE(disk.Resize(64 * kDiskBytes));
  EXPECT_EQ(StrictReaderComplaints(first), "");
  const uint64_t fileBytes = ReadWholeFile(first).size();
  if (wav) {
    const WaveFileCheck check = CheckWaveFile(first, kFormat);
    ASSERT_EQ(check.error, "");
    EXPECT_EQ(check.firstCounterMismatch, check.dataBytes) << "a sample was lost or repeated";
    // All but the buffer that no longer fitted.
    EXPECT_GE(check.dataBytes + kWaveHeaderSize + kBufferBytes, kDiskBytes - 4096) << fileBytes << " bytes on disk";
  } else {
    const DecodedAudio audio = DecodeWithFfmpeg(first);
    ASSERT_EQ(audio.error, "");
    // 128 kbit/s: 16000 bytes a second; the frames of the last 100 ms may not have fitted.
    EXPECT_GE(audio.Seconds(), (kDiskBytes - 4096) / 16000.0 - 0.5) << fileBytes << " bytes on disk";
    EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kTestToneHz, kTestToneHz / 100);
  }

  ExpectRecordsAgain(program, environment, std::string("0002") + c.extension, output + "\\0002" + c.extension);
}

INSTANTIATE_TEST_SUITE_P(Formats, FullDisk,
                         testing::Values(DiskCase{"Wav", "1", ".wav"}, DiskCase{"Mp3", "0", ".mp3"}),
                         [](const testing::TestParamInfo<DiskCase>& info) { return info.param.name; });

// A folder that is gone (a removed drive, a folder deleted between two recordings): Start
// says it could not start, nothing changes, and once the folder is back Start records (the
// graph whose Run failed is released then, which must return).
TEST(OutputFolder, GoneAtStartIsToldAndRecordsOnceItIsBack) {
  CFilterTestEnvironment environment;
  environment.capture.SetSignal(kTestDevice, TestSignal::Counter);
  TempDir dir;
  const std::string output = dir.File("out");
  ASSERT_TRUE(::CreateDirectoryA(output.c_str(), nullptr));
  RunningProgram program(dir.path(), VirtualDeviceSettings(output, "1"));
  ASSERT_NE(program.Window(), nullptr);
  ASSERT_TRUE(::RemoveDirectoryA(output.c_str()));

  // The box opens inside the click's handling, which returns once it is answered.
  EXPECT_FALSE(program.Click(IDC_RECORD, 500));
  EXPECT_EQ(program.WaitForBox(10000), "Could not start recording!");
  program.AnswerBoxes();
  EXPECT_EQ(program.Text(IDC_RECORD), "Start");
  EXPECT_EQ(program.Text(IDC_FILENAME), output + "\\0001.wav") << "the counter stays";

  ASSERT_TRUE(::CreateDirectoryA(output.c_str(), nullptr));
  ExpectRecordsAgain(program, environment, "0001.wav", output + "\\0001.wav");
}

// When the folder fails: under a running recording; under a paused one; together with the
// capture device (a USB hub pulled with a microphone and a drive on it).
enum class FaultMoment { Recording, Paused, WithDevice };

struct FolderCase {
  const char* name;
  const char* fileFormat;
  const char* extension;
  FolderFault fault;
  FaultMoment moment;
};

// An output folder that fails under a recording: a drive pulled or a share gone (every
// operation fails, also on the open file), a folder turned read-only, a drive that fails
// with I/O errors. Its files stay in `store`, where the test reads them.
class FailingOutputFolder : public testing::TestWithParam<FolderCase> {
 protected:
  void SetUp() override {
    const FolderCase& c = GetParam();
    environment.capture.SetSignal(kTestDevice, IsWav(c.extension) ? TestSignal::Counter : TestSignal::Tone);
    folder = std::make_unique<FailingFolder>(output, store);
    if (!folder->mounted()) GTEST_SKIP() << "no failing folder can be mounted here: " << folder->error();
    program = std::make_unique<RunningProgram>(dir.path(), VirtualDeviceSettings(output, c.fileFormat));
    ASSERT_NE(program->Window(), nullptr);
  }

  std::string Stored(const char* number) const { return store + "\\" + number + GetParam().extension; }
  // Seconds of audio in the stored recording, after checking that strict readers take it.
  double StoredSeconds(const char* number) const {
    const std::string path = Stored(number);
    EXPECT_EQ(StrictReaderComplaints(path), "");
    if (IsWav(path)) {
      const WaveFileCheck check = CheckWaveFile(path, kFormat);
      EXPECT_EQ(check.error, "");
      EXPECT_EQ(check.firstCounterMismatch, check.dataBytes) << "a sample was lost or repeated";
      return double(check.dataBytes / kFormat.BlockAlign()) / kFormat.sampleRate;
    }
    const DecodedAudio audio = DecodeWithFfmpeg(path);
    EXPECT_EQ(audio.error, "");
    EXPECT_NEAR(ToneFrequency(audio.samples, audio.sampleRate), kTestToneHz, kTestToneHz / 100);
    return audio.Seconds();
  }
  double DeliveredSeconds() { return double(environment.capture.State(kTestDevice).framesDelivered) / kFormat.sampleRate; }

  CFilterTestEnvironment environment;
  TempDir dir;
  const std::string output = dir.File("out");
  const std::string store = dir.File("store");
  std::unique_ptr<FailingFolder> folder;
  std::unique_ptr<RunningProgram> program;
};

// Running: the next write fails, the recording stops with the message, the file keeps all
// that reached it (WAV: every frame the device delivered, since a delivery that fails is
// not counted; MP3: all but what the encoder still held), and once the folder is back the
// next number records. With the device: whichever the program hears of first, the writes
// failed and the user is told so. Paused: nothing is written while paused and the pause
// wrote the file's last bytes, so Stop finishes the recording as usual, with nothing lost.
TEST_P(FailingOutputFolder, IsToldKeepsTheFileAndRecordsOnceItIsBack) {
  const FolderCase& c = GetParam();
  const bool wav = IsWav(c.extension);
  const bool paused = c.moment == FaultMoment::Paused;
  ASSERT_TRUE(program->Click(IDC_RECORD)) << program->BoxText();
  ASSERT_TRUE(environment.capture.WaitForFrames(kTestDevice, kFormat.sampleRate * 3 / 2, 20000));
  if (paused) {
    ASSERT_TRUE(program->Click(IDC_PAUSE));
  }
  const double beforeFault = DeliveredSeconds();
  folder->Set(c.fault);
  if (c.moment == FaultMoment::WithDevice) environment.capture.ReportDeviceLost(kTestDevice);
  if (paused) {
    ASSERT_TRUE(program->Click(IDC_RECORD)) << program->BoxText();
    EXPECT_EQ(program->BoxText(), "");
  } else {
    EXPECT_EQ(program->WaitForBox(10000), kFailed);
    program->AnswerBoxes();
  }
  EXPECT_EQ(program->Title(), std::string("Velmora Sondrel - 0001") + c.extension);
  EXPECT_EQ(program->Text(IDC_RECORD), "Start");
  EXPECT_EQ(program->Text(IDC_FILENAME), output + "\\0002" + c.extension);

  const double delivered = DeliveredSeconds();
  const double held = StoredSeconds("0001");
  if (wav) {
    EXPECT_DOUBLE_EQ(held, delivered) << "WAV keeps every frame the device delivered";
  } else {
    // The encoder holds back about 50 ms, and a failing write loses what it carried.
    EXPECT_LE(held, delivered + 0.03);
    EXPECT_GE(held, (paused ? delivered : beforeFault) - 0.2);
  }
  EXPECT_GE(held, paused ? beforeFault - 0.001 : 1.3);

  folder->Set(FolderFault::None);
  ExpectRecordsAgain(*program, environment, std::string("0002") + c.extension, Stored("0002"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailingOutputFolder,
    testing::Values(FolderCase{"WavGone", "1", ".wav", FolderFault::Gone, FaultMoment::Recording},
                    FolderCase{"Mp3Gone", "0", ".mp3", FolderFault::Gone, FaultMoment::Recording},
                    FolderCase{"WavUnwritable", "1", ".wav", FolderFault::Unwritable, FaultMoment::Recording},
                    FolderCase{"Mp3Failing", "0", ".mp3", FolderFault::Failing, FaultMoment::Recording},
                    FolderCase{"WavGoneWhilePaused", "1", ".wav", FolderFault::Gone, FaultMoment::Paused},
                    FolderCase{"Mp3GoneWhilePaused", "0", ".mp3", FolderFault::Gone, FaultMoment::Paused},
                    FolderCase{"WavGoneWithTheDevice", "1", ".wav", FolderFault::Gone, FaultMoment::WithDevice},
                    FolderCase{"Mp3GoneWithTheDevice", "0", ".mp3", FolderFault::Gone, FaultMoment::WithDevice}),
    [](const testing::TestParamInfo<FolderCase>& info) { return info.param.name; });

}  // namespace
