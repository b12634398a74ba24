// Ownership of components: an owner frees the components it owns, last
// created first, when it is destroyed.
#pragma once
#include <string>
#include <vector>

namespace wx {

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }
    std::string Name;
    int Tag = 0;

private:
    void Insert(TComponent* c) { components_.push_back(c); }
    void Remove(TComponent* c);

    TComponent* owner_;
    std::vector<TComponent*> components_;
};

}  // namespace wx
