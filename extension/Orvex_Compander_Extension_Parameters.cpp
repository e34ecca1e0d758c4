#include "Orvex_Compander_Extension_Parameters.h"

#include <string>
#include <utility>

#include "Orvex_Compander_ExtensionDSPKernelAdapter.h"
#include "core/SwiftText.h"

Orvex_Compander_Extension_Parameters::Orvex_Compander_Extension_Parameters(
    std::shared_ptr<Orvex_Compander_ExtensionDSPKernelAdapter> kernelAdapter)
    : parameterTree(std::make_shared<pf::AUParameterTree>()) {
    createParameters();

    // The values set while building reached no observer; this is how the defaults get into the
    // kernel.
    for (const auto& parameter : parameterTree->allParameters()) {
        kernelAdapter->setParameter(parameter->address(), parameter->value());
    }

    parameterTree->setImplementorValueObserver(
        [kernelAdapter](pf::AUParameter& parameter, pf::AUValue value) {
            kernelAdapter->setParameter(parameter.address(), value);
        });
    parameterTree->setImplementorValueProvider([kernelAdapter](pf::AUParameter& parameter) {
        return kernelAdapter->valueForParameter(parameter.address());
    });
    parameterTree->setImplementorStringFromValueCallback(
        [kernelAdapter](pf::AUParameter& parameter, const pf::AUValue* value) {
            return pf::swiftText(
                value != nullptr ? *value : kernelAdapter->valueForParameter(parameter.address()));
        });
}

void Orvex_Compander_Extension_Parameters::createParameters() {
    std::vector<std::shared_ptr<pf::AUParameterNode>> parameters;
    parameters.reserve(kCompanderParameters.size());
    for (const auto& spec : kCompanderParameters) {
        auto parameter = pf::AUParameterTree::createParameter(
            std::string(spec.identifier), std::string(spec.name), spec.address, spec.min, spec.max,
            spec.unit, std::nullopt, kCompanderParameterFlags, std::nullopt, std::nullopt);
        parameter->setValue(spec.defaultValue);
        parameters.push_back(std::move(parameter));
    }
    groups_.push_back(pf::AUParameterTree::createGroup(std::string(kCompanderGroupIdentifier),
                                                       std::string(kCompanderGroupName),
                                                       std::move(parameters)));
    parameterTree = pf::AUParameterTree::createTree({groups_.begin(), groups_.end()});
}
