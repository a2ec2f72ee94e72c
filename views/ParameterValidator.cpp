#include "views/ParameterValidator.h"

#include "device/ParameterCodec.h"

ParameterValidator::ParameterValidator(const ORVEHVNode *node, QObject *parent)
    : QValidator(parent), m_node(node)
{
}

QValidator::State ParameterValidator::validate(QString &input, int &) const
{
    const ParameterCodec::ParseResult r = ParameterCodec::parse(m_node, input);
    if (r.ok)
        return Acceptable;
    switch (r.problem) {
    case ParameterCodec::Empty:
    case ParameterCodec::OutOfRange:
        return Intermediate;
    default:
        return Invalid;
    }
}
