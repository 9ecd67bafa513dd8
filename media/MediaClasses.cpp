#include "media/DShow.h"
#include "media/capture/DeviceEnumerator.h"
#include "media/graph/FileWriterFilter.h"
#include "media/graph/FilterGraph.h"
#include "media/graph/WavDestFilter.h"

namespace media {

void RegisterMediaClasses() {
    CoRegisterInProcClass(CLSID_FilterGraph, &FilterGraph::Create);
    CoRegisterInProcClass(CLSID_SystemDeviceEnum, &DeviceEnumerator::Create);
    CoRegisterInProcClass(CLSID_FileWriter, &FileWriterFilter::Create);
    CoRegisterInProcClass(CLSID_WavDest, &WavDestFilter::Create);
}

}  // namespace media
