#pragma once
// The composition root's wiring: hands the layers below the service the
// links to it that they call (apartment/service_links.h), and the apartment
// the step that closes a thread's monitor windows as its apartment ends.
// Done once per process, before any object is made: by DllMain when the DLL
// is loaded, and by the programs that link the layers directly (tests,
// benchmark).
namespace zx {

void ConnectLayers();

}  // namespace zx
