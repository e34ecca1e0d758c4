#pragma once
// Classes by name: a plug-in's principal class and an application's delegate are named in
// their Info.plist and made by name. One registry per process (the platform layer is shared),
// so a class registered by a loaded plug-in is found by the host. [any-thread]

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

namespace pf {

class ClassRegistry {
public:
    static ClassRegistry& shared();

    // Registers `factory` under `className`, making objects used through `Base`; a second
    // registration of a name replaces the first.
    template <class Base>
    void registerClass(std::string className, std::function<std::shared_ptr<Base>()> factory) {
        add(std::move(className), typeid(Base).name(),
            [factory = std::move(factory)]() -> std::shared_ptr<void> { return factory(); });
    }

    // A new object of the class named `className`; nullptr when no class has that name or it was
    // registered under another base type.
    template <class Base> std::shared_ptr<Base> create(std::string_view className) const {
        return std::static_pointer_cast<Base>(make(className, typeid(Base).name()));
    }

    bool contains(std::string_view className) const;

private:
    void add(std::string className, const char* baseType, std::function<std::shared_ptr<void>()> f);
    std::shared_ptr<void> make(std::string_view className, const char* baseType) const;
};

} // namespace pf
