#include "core/commands/hub_figures.h"

#include <algorithm>

#include "core/buffer_pools.h"
#include "core/cpu_info.h"
#include "core/dns_lookup.h"
#include "core/hub_core.h"
#include "core/send_result.h"
#include "platform/process_times.h"

namespace {

TPoolFigure PoolFigure(int index) {
  TPointerPool<char>& pool = BufferPools().Pool(index);
  return {pool.InUse(), pool.GetTotal()};
}

}  // namespace

THubFigures ReadHubFigures(const THubCore& core, const TSendResult& link, const TCPUInfo* cpu,
                           const TDNSLookup& lookups) {
  THubFigures f;
  f.Ports = core.GetPortsText();
  if (cpu != nullptr) {
    f.CPUTime = cpu->CPUTime();
    f.CPUUsage = cpu->CPUUsage();
  }
  TSystemMemory machine;
  if (ReadSystemMemory(machine)) f.MemoryAvailable = machine.AvailableBytes;
  TProcessMemory own;
  if (ReadProcessMemory(own)) {
    f.WorkingSet = own.ResidentBytes;
    f.PeakWorkingSet = own.PeakResidentBytes;
    f.PageFile = own.VirtualBytes;
    f.PeakPageFile = own.PeakVirtualBytes;
  }
  f.Receiving = link.Recieving();
  f.Sending = link.Sending();
  for (std::size_t i = 0; i < f.SendOutcomes.size(); ++i)
    f.SendOutcomes[i] = link.Outcome(static_cast<TSendOutcome>(i));
  f.LookupThreadsMax = static_cast<int>(TDNSLookup::kWorkers);
  f.LookupThreads = std::min(lookups.InFlight(), f.LookupThreadsMax);
  f.Readers = PoolFigure(kReadBlockPool);
  for (std::size_t i = 0; i < f.Writers.size(); ++i) f.Writers[i] = PoolFigure(static_cast<int>(i) + 1);
  return f;
}
