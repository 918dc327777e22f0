#include "deferredaudiobackend.h"

namespace tavix {

AudioBackend& DeferredAudioBackend::backend() {
    std::call_once(m_once, [this] {
        m_backend = m_make();
        m_made.store(true, std::memory_order_release);
    });
    return *m_backend;
}

} // namespace tavix
