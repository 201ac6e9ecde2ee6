#pragma once
// The Select Channel sub-page of the Search and Backup pages: a check box
// per channel of the recorder (at most 16, four to a row), each editing
// its bit of the page's channel mask.
//
// Object names: prefix + N (channel N, from 0).

#include <QWidget>

#include <cstdint>
#include <vector>

namespace kalix::ui {

class SkinCheckButton;

class ChannelChoicePanel final : public QWidget {
    Q_OBJECT

public:
    ChannelChoicePanel(int channel_count, std::uint32_t mask, const QString& name_prefix, QWidget* parent = nullptr);
    std::uint32_t mask() const;

signals:
    void maskChanged(std::uint32_t mask);

private:
    std::vector<SkinCheckButton*> boxes_;
};

}  // namespace kalix::ui
