#include "zeriru/editors/widgets/app_info_dialog.h"

#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/defines.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/editor_controls.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/editors/widgets/page_setting_editor.h"
#include "zeriru/help_topics.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <QBitmap>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zeriru::gui {

namespace sjis = platform::sjis;
namespace wp = platform::winpath;
namespace page = app_info_page;
using qtsupport::ToQString;
using qtsupport::ToSjis;

namespace {

constexpr const char* kLogoFilter = "すべてのファイル (*.bmp;*.ico)|*.bmp;*.ico";

QSpinBox* Spin(QWidget* parent, const char* name, int maximum) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(0, maximum);
    return spin;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

}  // namespace

// ---- TLogoPreview ----

TLogoPreview::TLogoPreview(QWidget* parent) : QWidget(parent) {
    setObjectName("imgLogoPreview");
    setFixedSize(LogoPreview::kFrameWidth, LogoPreview::kFrameHeight);
}

void TLogoPreview::Show(const LogoPreview& preview, const QPixmap& picture) {
    preview_ = preview;
    picture_ = picture;
    update();
}

void TLogoPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::gray);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (preview_.sampleLines) {
        painter.setPen(Qt::black);
        const int line = height() / 3;
        for (int i = 0; i < 3; ++i)
            painter.drawText(QRect(8, i * line, width() - 16, line), Qt::AlignVCenter | Qt::AlignLeft,
                             QStringLiteral("これはサンプルです。"));
    }
    if (!preview_.picture || picture_.isNull()) return;
    QPixmap picture = picture_;
    if (preview_.transparent) {
        // The colour of the bottom-left pixel is the background that is not drawn.
        const QImage image = picture.toImage();
        picture.setMask(QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, image.height() - 1), Qt::MaskInColor)));
    }
    const QRect area(preview_.left, preview_.top, preview_.width, preview_.height);
    QRect target(area.topLeft(), picture.size());
    if (preview_.stretch) target = area;
    if (preview_.center) target.moveCenter(area.center());
    painter.setClipRect(area);
    painter.drawPixmap(target, picture);
}

// ---- TfrmAppInfoDialog ----

TfrmAppInfoDialog::TfrmAppInfoDialog(EditorToolkit& kit, AppInfoDialogModel& model)
    : TEditorDialogFrame(kit.ui(), "frmAppInfoDialog", ToQString(AppInfoDialogModel::Caption()), kit.parent()),
      kit_(kit), model_(model) {
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    BuildBasicPage(pages);
    std::vector<int> topics = {help_topic::kAppInfoBasic};
    if (!model.reducedProject()) {
        BuildFolderPage(pages);
        topics.push_back(help_topic::kAppInfoFolder);
    }
    BuildVersionPage(pages);
    topics.push_back(help_topic::kAppInfoVersion);
    if (!model.reducedProject()) {
        BuildLogoPage(pages);
        topics.push_back(help_topic::kAppInfoLogo);
    }
    body()->addWidget(pages);
    body()->addWidget(MakeNote(this, "lblRequired", QStringLiteral("*は必須入力項目")));
    UsePages(pages, topics, &kit.data().settings(), std::string(settings_key::kApplication));
    Load();
    if (model.frame.readOnly()) LockDown();
    TrackChanges();
}

void TfrmAppInfoDialog::BuildBasicPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kBasic, "基本情報");
    auto* form = new QFormLayout(p);
    title_ = MakeEdit(p, "edtTitle");
    AddRow(form, "インストーラタイトル(&T) *", title_);
    softName_ = MakeEdit(p, "edtSoftName");
    AddRow(form, "アプリケーション名(&N) *", softName_);
    form->addRow(MakeNote(p, "lblSoftNameHint",
                          QStringLiteral("インストールするアプリケーションの名前を指定します。ここで指定されたアプリケーション名は各メッセージにて使用されます。")));
    mainFileName_ = MakeEdit(p, "edtMainFileName");
    mainFileName_->setReadOnly(true);
    QPushButton* browse = Button(p, "btnMainFile", "参照(&B)");
    auto* row = new QHBoxLayout;
    row->addWidget(mainFileName_, 1);
    row->addWidget(browse);
    auto* label = new QLabel(QStringLiteral("メインファイル名(&P)"), p);
    label->setBuddy(browse);
    form->addRow(label, row);
    copyright_ = MakeEdit(p, "edtCopyright");
    AddRow(form, "著作権表示(&P) *", copyright_);
    form->addRow(MakeNote(p, "lblMainFileNote",
                          QStringLiteral("※メインファイル名を設定する場合は最初に「ファイル/フォルダの設定」でファイルを指定してください。")));
    connect(browse, &QPushButton::clicked, this, [this] { ChooseMainFile(); });
}

QGroupBox* TfrmAppInfoDialog::BuildGroup(QWidget* parent, FolderGroup& group, const char* defineCaption,
                                         const char* parameterCaption, const QString& buttonCaption) {
    auto* box = new QGroupBox(ToQString(group.caption()), parent);
    box->setObjectName(QString::fromStdString("grp" + group.defineControl().substr(3)));
    auto* form = new QFormLayout(box);
    GroupControls c;
    c.group = &group;
    c.define = new TDefineCombo(box, group.defineControl().c_str());
    c.define->SetEntries(group.entries());
    AddRow(form, defineCaption, c.define);
    const std::string button = "btn" + group.parameterControl().substr(3);
    c.parameter = new TParameterField(kit_, c.define, group.parameterControl().c_str(), button.c_str(), box, buttonCaption);
    AddRow(form, parameterCaption, c.parameter);
    connect(c.define, &QComboBox::currentTextChanged, this, [this] {
        if (!loading_) UpdateView();
    });
    connect(c.parameter, &TParameterField::parameterChanged, this, [this] {
        if (!loading_) UpdateStatus();
    });
    groups_.push_back(c);
    return box;
}

void TfrmAppInfoDialog::BuildFolderPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kInstallFolder, "インストールフォルダ");
    auto* layout = new QVBoxLayout(p);
    sameFolder_ = MakeCheck(p, "chkSameFolder", "すべての環境で同一の初期インストール先を使用する(&E)");
    layout->addWidget(sameFolder_);
    folderModes_ = new QStackedWidget(p);
    folderModes_->setObjectName("stFolderModes");
    auto* same = new QWidget(folderModes_);
    same->setObjectName("pnlSameFolder");
    auto* sameLayout = new QVBoxLayout(same);
    sameLayout->addWidget(BuildGroup(same, model_.folder, "フォルダ定数(&D)", "パラメータ(&P)", QStringLiteral("詳細(&E)")));
    fallbackGroup_ = BuildGroup(same, model_.fallback, "フォルダ定数(&F)", "パラメータ(&R)", QStringLiteral("詳細(&L)"));
    sameLayout->addWidget(fallbackGroup_);
    status_ = new QLabel(same);
    status_->setObjectName("lblStatus");
    status_->setFrameShape(QFrame::StyledPanel);
    sameLayout->addWidget(status_);
    sameLayout->addStretch(1);
    folderModes_->addWidget(same);
    auto* perVersion = new QTabWidget(folderModes_);
    perVersion->setObjectName("pcPerVersion");
    BuildPerVersionPage(perVersion, page::kFolderPerVersion, "インストール先フォルダ", model_.commonFolder, model_.versionFolders);
    BuildPerVersionPage(perVersion, page::kFallbackPerVersion, "検索できなかった場合のフォルダ", model_.commonFallback,
                        model_.versionFallbacks);
    folderModes_->addWidget(perVersion);
    layout->addWidget(folderModes_, 1);
    folderOptions_ = MakeCheckList(p, "clbFolderOptions",
                                   Choices(AppInfoDialogModel::kFolderOptionCount, AppInfoDialogModel::FolderOptionText));
    folderOptions_->setMaximumHeight(folderOptions_->sizeHintForRow(0) * AppInfoDialogModel::kFolderOptionCount + 8);
    auto* label = new QLabel(QStringLiteral("インストールフォルダオプション(&O)"), p);
    label->setBuddy(folderOptions_);
    layout->addWidget(label);
    layout->addWidget(folderOptions_);
    connect(sameFolder_, &QCheckBox::toggled, this, [this] { UpdateView(); });
}

QWidget* TfrmAppInfoDialog::BuildPerVersionPage(QTabWidget* tabs, const char* name, const char* caption,
                                                FolderGroup& common, std::array<FolderGroup, kWindowsVersionCount>& groups) {
    QWidget* p = AddPage(tabs, name, caption);
    auto* scroll = new QScrollArea(p);
    scroll->setWidgetResizable(true);
    auto* inner = new QWidget(scroll);
    auto* layout = new QVBoxLayout(inner);
    layout->addWidget(BuildGroup(inner, common, "フォルダ定数(&D)", "パラメータ(&P)", QStringLiteral("詳細(&E)")));
    for (FolderGroup& group : groups)
        layout->addWidget(BuildGroup(inner, group, "フォルダ定数(&D)", "パラメータ(&P)", QStringLiteral("詳細(&E)")));
    scroll->setWidget(inner);
    (new QVBoxLayout(p))->addWidget(scroll);
    return p;
}

void TfrmAppInfoDialog::BuildVersionPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kVersion, "バージョン情報");
    auto* layout = new QVBoxLayout(p);
    QGroupBox* group = MakeGroup(p, "grpVersion", "バージョンの指定");
    auto* form = new QFormLayout(group);
    static constexpr const char* kNames[AppInfoDialogModel::kVersionCount] = {"udMajor", "udMinor", "udRelease",
                                                                              "udBuild", "udOther"};
    static constexpr const char* kCaptions[AppInfoDialogModel::kVersionCount] = {"メジャー(&M)", "マイナー(&N)",
                                                                                 "リリース(&R)", "ビルド(&B)", "その他(&E)"};
    for (int i = 0; i < AppInfoDialogModel::kVersionCount; ++i) {
        versions_[static_cast<std::size_t>(i)] = Spin(group, kNames[i], AppInfoDialogModel::VersionMaximum(i));
        AddRow(form, kCaptions[i], versions_[static_cast<std::size_t>(i)]);
    }
    QPushButton* take = Button(group, "btnGetVersion", "メインファイルから取得(&G)");
    takeVersion_ = take;
    form->addRow(take);
    layout->addWidget(group);
    layout->addStretch(1);
    connect(take, &QPushButton::clicked, this, [this] { TakeVersion(); });
}

void TfrmAppInfoDialog::BuildLogoPage(QTabWidget* pages) {
    QWidget* p = AddPage(pages, page::kLogo, "ロゴ");
    auto* layout = new QVBoxLayout(p);
    logoEnabled_ = MakeCheck(p, "chkLogoEnabled", "ロゴを指定する(&E)");
    layout->addWidget(logoEnabled_);
    auto* fileRow = new QHBoxLayout;
    logoFile_ = MakeEdit(p, "edtLogoFile");
    QPushButton* browse = Button(p, "btnLogoFile", "参照(&R)");
    logoBrowse_ = browse;
    auto* label = new QLabel(QStringLiteral("ファイル名(&F)"), p);
    label->setBuddy(logoFile_);
    fileRow->addWidget(label);
    fileRow->addWidget(logoFile_, 1);
    fileRow->addWidget(browse);
    layout->addLayout(fileRow);
    logoPages_ = new QTabWidget(p);
    logoPages_->setObjectName("pcLogo");
    QWidget* options = AddPage(logoPages_, "tsLogoOption", "オプション");
    auto* optionsLayout = new QVBoxLayout(options);
    logoNoResize_ = MakeCheck(options, "chkLogoNoResize", "ロゴサイズを表示領域にあわせて調整しない(&S)");
    logoTransparent_ = MakeCheck(options, "chkLogoTransparent", "ロゴの背景色を透明にする(&T)");
    logoNoHeaderMes_ = MakeCheck(options, "chkLogoNoHeaderMes", "ロゴ表示時に一部のメッセージを表示しない(&H)");
    for (QCheckBox* b : {logoNoResize_, logoTransparent_, logoNoHeaderMes_}) optionsLayout->addWidget(b);
    optionsLayout->addStretch(1);
    QWidget* place = AddPage(logoPages_, "tsLogoPlace", "位置・サイズの指定");
    auto* grid = new QGridLayout(place);
    logoPosition_ = MakeCombo(place, "cmbLogoPosition",
                              Choices(AppInfoDialogModel::kLogoPositionCount, AppInfoDialogModel::LogoPositionText));
    logoNoCenter_ = MakeCheck(place, "chkLogoNoCenter", "ロゴを表示領域の中心に表示しない(&C)");
    logoTop_ = Spin(place, "udLogoTop", AppInfoDialogModel::kMaxLogoCoordinate);
    logoLeft_ = Spin(place, "udLogoLeft", AppInfoDialogModel::kMaxLogoCoordinate);
    logoSize_ = MakeCombo(place, "cmbLogoSize", Choices(AppInfoDialogModel::kLogoSizeCount, AppInfoDialogModel::LogoSizeText));
    logoHeight_ = Spin(place, "udLogoHeight", AppInfoDialogModel::kMaxLogoCoordinate);
    logoWidth_ = Spin(place, "udLogoWidth", AppInfoDialogModel::kMaxLogoCoordinate);
    auto add = [&](int row, int column, const char* caption, QWidget* field) {
        auto* l = new QLabel(QString::fromUtf8(caption), place);
        l->setBuddy(field);
        grid->addWidget(l, row, column);
        grid->addWidget(field, row, column + 1);
    };
    add(0, 0, "表示領域の位置(&P)", logoPosition_);
    grid->addWidget(logoNoCenter_, 0, 2, 1, 2);
    add(1, 0, "トップ位置(&T)", logoTop_);
    add(1, 2, "レフト位置(&L)", logoLeft_);
    add(2, 0, "表示領域サイズ(&S)", logoSize_);
    add(3, 0, "高さ(&H)", logoHeight_);
    add(3, 2, "幅(&W)", logoWidth_);
    layout->addWidget(logoPages_);
    layout->addWidget(MakeNote(p, "lblLogoNote", QStringLiteral("※ロゴの最大サイズは、高さ：78ピクセル、横：556ピクセルです。")));
    preview_ = new TLogoPreview(p);
    layout->addWidget(preview_, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    connect(browse, &QPushButton::clicked, this, [this] { ChooseLogo(); });
    for (QCheckBox* b : {logoEnabled_, logoNoResize_, logoNoCenter_, logoTransparent_, logoNoHeaderMes_})
        connect(b, &QCheckBox::toggled, this, [this] { UpdateView(); });
    for (QComboBox* c : {logoPosition_, logoSize_})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { UpdateView(); });
    for (QSpinBox* s : {logoTop_, logoLeft_, logoWidth_, logoHeight_})
        connect(s, &QSpinBox::valueChanged, this, [this] { UpdateView(); });
    connect(logoFile_, &QLineEdit::textChanged, this, [this] { UpdateView(); });
}

void TfrmAppInfoDialog::Load() {
    loading_ = true;
    title_->setText(ToQString(model_.title));
    softName_->setText(ToQString(model_.softName));
    copyright_->setText(ToQString(model_.copyright));
    mainFileName_->setText(ToQString(model_.mainFileName));
    for (int i = 0; i < AppInfoDialogModel::kVersionCount; ++i)
        versions_[static_cast<std::size_t>(i)]->setValue(model_.versions[static_cast<std::size_t>(i)]);
    if (sameFolder_) {
        sameFolder_->setChecked(model_.sameFolder);
        for (GroupControls& c : groups_) {
            c.define->SetEntries(c.group->entries());
            c.define->SetDefine(c.group->shared() ? FolderGroup::SharedEntry() : c.group->define());
            c.parameter->SetParameter(c.group->parameter);
        }
        SetCheckedBits(folderOptions_, model_.folderOptions);
        logoEnabled_->setChecked(model_.logoEnabled);
        logoFile_->setText(ToQString(model_.logoFile));
        logoNoResize_->setChecked(model_.logoNoResize);
        logoNoCenter_->setChecked(model_.logoNoCenter);
        logoTransparent_->setChecked(model_.logoTransparent);
        logoNoHeaderMes_->setChecked(model_.logoNoHeaderMes);
        logoPosition_->setCurrentIndex(model_.logoPosition);
        logoTop_->setValue(model_.logoTop);
        logoLeft_->setValue(model_.logoLeft);
        logoSize_->setCurrentIndex(model_.logoSize);
        logoWidth_->setValue(model_.logoWidth);
        logoHeight_->setValue(model_.logoHeight);
    }
    loading_ = false;
    UpdateView();
}

void TfrmAppInfoDialog::Store() {
    model_.title = ToSjis(title_->text());
    model_.softName = ToSjis(softName_->text());
    model_.copyright = ToSjis(copyright_->text());
    for (int i = 0; i < AppInfoDialogModel::kVersionCount; ++i)
        model_.SetVersion(i, versions_[static_cast<std::size_t>(i)]->value());
    if (!sameFolder_) return;
    model_.sameFolder = sameFolder_->isChecked();
    for (GroupControls& c : groups_) {
        c.group->SetDefine(c.define->define());
        c.group->parameter = c.parameter->parameter();
    }
    model_.folderOptions = CheckedBits(folderOptions_);
    model_.logoEnabled = logoEnabled_->isChecked();
    model_.logoFile = ToSjis(logoFile_->text());
    model_.logoNoResize = logoNoResize_->isChecked();
    model_.logoNoCenter = logoNoCenter_->isChecked();
    model_.logoTransparent = logoTransparent_->isChecked();
    model_.logoNoHeaderMes = logoNoHeaderMes_->isChecked();
    model_.logoPosition = logoPosition_->currentIndex();
    model_.logoTop = logoTop_->value();
    model_.logoLeft = logoLeft_->value();
    model_.logoSize = logoSize_->currentIndex();
    model_.logoWidth = logoWidth_->value();
    model_.logoHeight = logoHeight_->value();
}

void TfrmAppInfoDialog::UpdateView() {
    if (loading_) return;
    Store();
    const bool editable = !model_.frame.readOnly();
    takeVersion_->setEnabled(model_.VersionFromFileEnabled() && editable);
    if (!sameFolder_) return;
    folderModes_->setCurrentIndex(model_.sameFolder ? 0 : 1);
    fallbackGroup_->setVisible(model_.FallbackShown());
    for (GroupControls& c : groups_) c.parameter->button()->setEnabled(!c.group->shared() && editable);
    UpdateStatus();
    const bool logo = model_.logoEnabled && editable;
    for (QWidget* w : std::initializer_list<QWidget*>{logoFile_, logoBrowse_, logoNoResize_, logoTransparent_,
                                                      logoNoHeaderMes_, logoNoCenter_, logoPosition_, logoSize_})
        w->setEnabled(logo);
    logoTop_->setEnabled(logo && model_.LogoPlaceEnabled());
    logoLeft_->setEnabled(logo && model_.LogoPlaceEnabled());
    logoWidth_->setEnabled(logo && model_.LogoSizeEnabled());
    logoHeight_->setEnabled(logo && model_.LogoSizeEnabled());
    UpdatePreview();
}

void TfrmAppInfoDialog::UpdateStatus() {
    if (!status_) return;
    Store();
    EditorData& data = kit_.data();
    status_->setText(ToQString(model_.StatusLine(
        [&data](std::string_view text) { return data.ExpandInstallPath(text); },
        [&data](std::string_view text) { return ExpandEnvironmentReference(text, data.machine()); })));
}

void TfrmAppInfoDialog::UpdatePreview() {
    const bool exists = !model_.logoFile.empty() && wp::FileExists(model_.logoFile) && !wp::DirectoryExists(model_.logoFile);
    QPixmap picture;
    if (exists) {
        if (const auto host = wp::ToHostPath(model_.logoFile)) picture.load(QString::fromStdString(host->string()));
    }
    preview_->Show(model_.Preview(exists), picture);
}

void TfrmAppInfoDialog::ChooseMainFile() {
    const std::optional<std::string> line = kit_.SelectInstalledFile(
        sjis::S("実行ファイルを指定してください。"), sjis::S("実行ファイル"), ".EXE;.COM",
        sjis::S("「ファイル/フォルダの設定」にて構成ファイルを設定してください。"));
    if (!line) return;
    model_.ChooseMainFile(*line);
    mainFileName_->setText(ToQString(model_.mainFileName));
    UpdateView();
}

void TfrmAppInfoDialog::TakeVersion() {
    static const TIniDocument kNoProject;
    const TIniDocument& project = kit_.data().project() ? *kit_.data().project() : kNoProject;
    Store();
    const std::string message =
        model_.TakeVersionFromMainFile(ReadItemsCounted(project, ItemsSectionName(project, "FilesSetting", "Files")));
    if (!message.empty()) {
        ui().ShowMessage(message);
        return;
    }
    for (int i = 0; i < AppInfoDialogModel::kVersionCount; ++i)
        versions_[static_cast<std::size_t>(i)]->setValue(model_.versions[static_cast<std::size_t>(i)]);
}

void TfrmAppInfoDialog::ChooseLogo() {
    std::string path = ToSjis(logoFile_->text());
    if (!ui().ChooseOpenFile(sjis::S(kLogoFilter), {}, path)) return;
    logoFile_->setText(ToQString(path));
}

void TfrmAppInfoDialog::OpenParameterDialog(const std::string& field) {
    for (GroupControls& c : groups_) {
        if (c.group->parameterControl() != field && c.group->defineControl() != field) continue;
        BringToFront(c.parameter);
        c.parameter->Edit();
        return;
    }
}

bool TfrmAppInfoDialog::AcceptOk() {
    Store();
    const CheckOutcome result = model_.Ok(ui());
    if (!result) return true;
    if (result->message.empty()) {
        // The user chose to give the system folder a sub-folder: straight to its parameters.
        OpenParameterDialog(result->field);
        return false;
    }
    onParameterDialog = [this](const std::string& field) { OpenParameterDialog(field); };
    ShowCheck(result);
    return false;
}

// ---- the setting editor ----

std::unique_ptr<SettingEditor> MakeAppInfoEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                 QWidget* parent) {
    const int projectType = context.project.projectType;
    return std::make_unique<PageSettingEditor<AppInfoDialogModel, TfrmAppInfoDialog>>(
        context, runner, parent,
        [projectType](EditorToolkit& kit, bool readOnly) {
            return std::make_unique<AppInfoDialogModel>(readOnly, projectType,
                                                        kit.data().DefineList("DFNLIST_APPINFOMAINPATH"),
                                                        kit.data().DefineList("DFNLIST_APPINFOSUBPATH"));
        },
        [](AppInfoDialogModel& model, TIniDocument& project, EditorToolkit&) { model.Write(project); });
}

}  // namespace zeriru::gui
