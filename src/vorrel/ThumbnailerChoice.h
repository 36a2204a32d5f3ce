#pragma once
// ThumbnailerChoice: the Home pane's set-up row that makes the file manager use Vorrel's
// thumbnails when another installed thumbnailer also claims our types.
//
// A desktop's thumbnail factory keeps, for each MIME type, the first entry it reads, and it
// reads the user's data folder first (platform::ThumbnailerEntries). So:
//   1. refresh() looks for other entries that list any of kServedMimeTypes (any entry but
//      "vorrel.thumbnailer"), and for our own user-level entry;
//   2. with another entry and no user-level entry of ours, the row says which other
//      thumbnailer is there and offers "Use Vorrel's Thumbnails", which writes
//      "<user data folder>/thumbnailers/vorrel.thumbnailer" (the served types, the thumbnailer
//      at `thumbnailer`, an absolute path) and refreshes;
//   3. with our user-level entry the row says so and offers "Use Any Thumbnailer", which
//      removes that entry again;
//   4. otherwise the row is hidden: ours is the only thumbnailer for our types.
// A file that cannot be written or removed leaves the row as it was and says so.
//
// Texts are translated with tr(); the English text is the key.
//
// Thread-safety: GUI thread only.

#include <QWidget>

class QLabel;
class QPushButton;

namespace vorrel {

class ThumbnailerChoice : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* entryName = "vorrel";

    // `thumbnailer`: the absolute path of vorrel-thumbnailer the user-level entry runs.
    explicit ThumbnailerChoice(QString thumbnailer, QWidget* parent = nullptr);

    void refresh();

    QLabel* textLabel() const { return text_; }
    QPushButton* actionButton() const { return action_; }

private:
    void act();

    QString thumbnailer_;
    bool userEntry_ = false;
    QLabel* text_ = nullptr;
    QPushButton* action_ = nullptr;
};

}  // namespace vorrel
