#include "audiobackend.h"

#include <utility>

namespace tavix {

ChangeSubscription::ChangeSubscription(ChangeSubscription&& other) noexcept
    : m_backend(std::exchange(other.m_backend, nullptr)), m_id(other.m_id) {}

ChangeSubscription& ChangeSubscription::operator=(ChangeSubscription&& other) noexcept {
    if (this != &other) {
        reset();
        m_backend = std::exchange(other.m_backend, nullptr);
        m_id = other.m_id;
    }
    return *this;
}

void ChangeSubscription::reset() {
    if (AudioBackend* backend = std::exchange(m_backend, nullptr)) {
        backend->unsubscribe(m_id);
    }
}

} // namespace tavix
