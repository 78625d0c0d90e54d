// Throughput of the fastboot client: fb_download_data alone and the whole executor, over an
// in-memory device and over loopback TCP, with the real 4,096-byte pieces. Reported as bytes
// per second and CPU seconds per GiB. A last run flashes a 1 GiB image and reports how much
// memory beyond the image itself the client needed at its peak.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

#include "fastboot/action_queue.h"
#include "fastboot/executor.h"
#include "fastboot/image_loader.h"
#include "fastboot/protocol.h"
#include "sim/fastboot_device/memory_link.h"
#include "sim/fastboot_device/tcp_device.h"

namespace {

constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;
constexpr uint32_t kImageSize = 64u << 20;

const std::vector<uint8_t>& image() {
  static const std::vector<uint8_t> bytes(kImageSize, 0x5A);
  return bytes;
}

std::shared_ptr<sim::FastbootDeviceModel> sinkModel() {
  auto model = std::make_shared<sim::FastbootDeviceModel>();
  model->setStoreData(false);
  model->setMaxDownloadSize(UINT32_MAX);
  return model;
}

// CPU time of the calling thread: the client's own work, without the device's thread.
double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

void reportThroughput(benchmark::State& state, uint64_t bytesPerIteration, double cpuSeconds) {
  double bytes = static_cast<double>(state.iterations()) * bytesPerIteration;
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["cpu_s_per_GiB"] = bytes > 0 ? cpuSeconds / (bytes / kGiB) : 0.0;
}

// fb_download_data of one 64 MiB image per iteration.
void downloadOver(benchmark::State& state, fb_transport* t) {
  double cpuStart = threadCpuSeconds();
  for (auto _ : state) {
    if (fb_download_data(t, image().data(), kImageSize) != 0) {
      state.SkipWithError(fb_get_error());
      break;
    }
  }
  reportThroughput(state, kImageSize, threadCpuSeconds() - cpuStart);
}

// The executor writing the 64 MiB image in pieces as on the platform that cuts images.
void executeOver(benchmark::State& state, fb_transport* t) {
  queue_action_clear();
  fb_set_flash_piece_limit(kQca9x15FlashPieceLimit);
  fb_queue_flash("system", image().data(), kImageSize);
  double cpuStart = threadCpuSeconds();
  for (auto _ : state) {
    if (fb_execute_queue(1, t, kImageSize, 0.0) != 0) {
      state.SkipWithError(fb_get_error());
      break;
    }
  }
  double cpuSeconds = threadCpuSeconds() - cpuStart;
  queue_action_clear();
  reportThroughput(state, kImageSize, cpuSeconds);
}

void BM_DownloadInMemory(benchmark::State& state) {
  fb_transport* t = sim::openMemoryTransport(sinkModel());
  downloadOver(state, t);
  usb_close(t);
}

void BM_ExecutorInMemory(benchmark::State& state) {
  fb_transport* t = sim::openMemoryTransport(sinkModel());
  executeOver(state, t);
  usb_close(t);
}

void BM_DownloadLoopbackTcp(benchmark::State& state) {
  sim::TcpFastbootDevice device;
  device.model().setStoreData(false);
  device.model().setMaxDownloadSize(UINT32_MAX);
  fb_transport* t = usb_open_by_name(device.path(), match_fastboot);
  downloadOver(state, t);
  usb_close(t);
}

void BM_ExecutorLoopbackTcp(benchmark::State& state) {
  sim::TcpFastbootDevice device;
  device.model().setStoreData(false);
  device.model().setMaxDownloadSize(UINT32_MAX);
  fb_transport* t = usb_open_by_name(device.path(), match_fastboot);
  executeOver(state, t);
  usb_close(t);
}

long maxRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Loads a 1 GiB image (a sparse file) and flashes it; runs first, so the process's peak
// resident size is this run's. Only the flashing is timed.
void BM_Flash1GiBPeakMemory(benchmark::State& state) {
  const long long size = 1LL << 30;
  double cpuStart = 0, cpuSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      std::FILE* f = std::fopen("big.img", "wb");
      if (!f || ftruncate(fileno(f), size) != 0) state.SkipWithError("cannot make big.img");
      if (f) std::fclose(f);
    }
    long before = maxRssKiB();
    long loaded = 0;
    uint8_t* data = load_bootfile("big.img", &loaded);
    cpuStart = threadCpuSeconds();
    state.ResumeTiming();

    queue_action_clear();
    fb_set_flash_piece_limit(0);
    fb_queue_flash("system", data, static_cast<uint64_t>(loaded));
    fb_queue_reboot();
    fb_transport* t = sim::openMemoryTransport(sinkModel());
    int result = fb_execute_queue(1, t, static_cast<uint64_t>(loaded), 0.0);
    usb_close(t);

    state.PauseTiming();
    cpuSeconds += threadCpuSeconds() - cpuStart;
    long extraKiB = maxRssKiB() - before - static_cast<long>(size / 1024);
    state.counters["peak_beyond_image_MiB"] = extraKiB / 1024.0;
    if (result != 0 || loaded != size) state.SkipWithError("flashing the 1 GiB image failed");
    queue_action_clear();
    release_images();
    std::remove("big.img");
    state.ResumeTiming();
  }
  reportThroughput(state, static_cast<uint64_t>(size), cpuSeconds);
}

BENCHMARK(BM_Flash1GiBPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DownloadInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExecutorInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DownloadLoopbackTcp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExecutorLoopbackTcp)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // The executor logs to Dut1.log and the memory run writes a scratch image: keep both out of
  // the caller's folder.
  char folder[] = "/tmp/zendral-bench-fastboot-XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  chdir("/");
  std::filesystem::remove_all(folder);
  return 0;
}
