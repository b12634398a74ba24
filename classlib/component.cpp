#include "classlib/component.h"

#include <algorithm>

namespace wx {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->Insert(this);
}

TComponent::~TComponent() {
    // Owned components go first, newest first; each one unlinks itself.
    while (!components_.empty()) {
        TComponent* c = components_.back();
        c->owner_ = nullptr;
        components_.pop_back();
        delete c;
    }
    if (owner_) owner_->Remove(this);
}

void TComponent::Remove(TComponent* c) {
    auto it = std::find(components_.begin(), components_.end(), c);
    if (it != components_.end()) components_.erase(it);
}

}  // namespace wx
