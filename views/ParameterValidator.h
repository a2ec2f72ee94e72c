#ifndef PARAMETERVALIDATOR_H
#define PARAMETERVALIDATOR_H

// A line edit's validator over ParameterCodec::parse for one node: what the
// node takes is acceptable; an empty field or a number out of the node's
// range can still be mended (intermediate); a key that makes the text
// unreadable for the node (not hexadecimal, too long, a character the
// device cannot take) is not typed at all.

#include <QValidator>

class ORVEHVNode;

class ParameterValidator : public QValidator
{
    Q_OBJECT
public:
    ParameterValidator(const ORVEHVNode *node, QObject *parent);
    State validate(QString &input, int &pos) const override;

private:
    const ORVEHVNode *m_node;
};

#endif
