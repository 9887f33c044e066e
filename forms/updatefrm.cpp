#include "updatefrm.h"

#include <windows.h>

#include "dialogs.h"
#include "updatelist.h"
#include "versioninfo.h"

TUpdateForm* UpdateForm = nullptr;
std::string UpdateListText;

VCL_DEFINE_CLASS(TUpdateForm, TForm, nullptr, nullptr)

TUpdateForm::TUpdateForm(TComponent* owner) : TForm(owner) {
  Field("dxButton2", dxButton2);
  Field("dxButton1", dxButton1);
  Field("ProgressBar", ProgressBar);
  Field("http", http);
  Field("Button1", Button1);
  Field("Label2", Label2);
  Field("Label1", Label1);
  Field("Label3", Label3);
  Field("Label4", Label4);
  Field("Label5", Label5);
  Field("Label6", Label6);
  Field("Label7", Label7);
  Field("Label8", Label8);
  Field("DateLabel", DateLabel);
  Field("UpdateSg", UpdateSg);
  Field("Button2", Button2);
  Field("lblLocale", lblLocale);
  Method("dxButton2Click", &TUpdateForm::dxButton2Click);
  Method("httpWork", &TUpdateForm::httpWork);
  Method("httpStatus", &TUpdateForm::httpStatus);
  Method("FormShow", &TUpdateForm::FormShow);
  Method("dxButton1Click", &TUpdateForm::dxButton1Click);
  Method("Button1Click", &TUpdateForm::Button1Click);
  Method("httpWorkBegin", &TUpdateForm::httpWorkBegin);
  Method("Button2Click", &TUpdateForm::Button2Click);
  Method("FormCreate", &TUpdateForm::FormCreate);
}

namespace {
// The process's current folder, without a trailing separator (but "C:\").
std::string CurrentFolder() {
  DWORD n = GetCurrentDirectoryA(0, nullptr);
  std::string s(n, '\0');
  n = GetCurrentDirectoryA(n, s.data());
  s.resize(n);
  return s;
}
}  // namespace

void TUpdateForm::FormCreate(TObject* Sender) {
  // The Type column stays hidden; the Description column takes the rest.
  UpdateSg->SetColWidths(0, 0);
  UpdateSg->SetColWidths(2, UpdateSg->ClientWidth() - UpdateSg->ColWidths(1) - 2);
  for (int c = 0; c < UpdateSg->ColCount(); ++c)
    UpdateSg->SetCells(c, 0, "<P ALIGN=\"CENTER\"><center>" + UpdateSg->Cells(c, 0) + "</center></P>");
}

void TUpdateForm::FormShow(TObject* Sender) {
  TStringList list;
  const std::string folder = GetDataFolder();
  // The files are optional: any failure ends the filling quietly, keeping
  // what was done so far.
  try {
    DateLabel->SetCaption(GetBuildDate());
    list.LoadFromFile(folder + "\\newupd.dat");
    UpdateSg->SetRowCount(list.Count() + 3);
    for (int j = 3; j < list.Count(); ++j) {
      TUpdateEntry e = SplitUpdateEntry(list[j]);
      UpdateSg->SetCells(0, j - 2, e.Type);
      UpdateSg->SetCells(1, j - 2, e.Date);
      UpdateSg->SetCells(2, j - 2, e.Description);
    }
    for (int i = 0; i < UpdateSg->RowCount(); ++i) {
      if (UpdateSg->Cells(0, i) == "critical")
        UpdateSg->SetCells(0, i, "<FONT color=\"clRed\"><B><I>" + UpdateSg->Cells(0, i) + "</I></B></FONT>");
      if (UpdateSg->Cells(0, i) == "NEW VERSION")
        UpdateSg->SetCells(0, i, "<FONT color=\"clRed\"><B>" + UpdateSg->Cells(0, i) + "</B></FONT>");
    }
  } catch (...) {
  }
}

void TUpdateForm::httpWorkBegin(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCountMax) {
  ProgressBar->SetMaxValue(AWorkCountMax);
}

void TUpdateForm::httpWork(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCount) {
  // Without a usable announced size the transfer is taken as 430000 bytes.
  if (ProgressBar->MaxValue() < 100) ProgressBar->SetProgress(AWorkCount / 4300);
  else ProgressBar->SetProgress(AWorkCount);
  ProgressBar->Repaint();
  Application->ProcessMessages();
}

void TUpdateForm::httpStatus(TObject* ASender, TIdStatus AStatus, const std::string& AStatusText) {
  Application->ProcessMessages();
}

void TUpdateForm::dxButton1Click(TObject* Sender) {
  http->Disconnect();
  Application->ProcessMessages();
  Close();
}

void TUpdateForm::Button1Click(TObject* Sender) {}

void TUpdateForm::Button2Click(TObject* Sender) {
  SetCurrentDirectoryA("..");
  std::string target = CurrentFolder();
  if (target.empty() || target.back() != '\\') target += '\\';
  const std::string programFolder = ExtractFilePath(Application->ExeName());
  SetCurrentDirectoryA(programFolder.c_str());
  ShowMessage(" /VERYSILENT /LOG=\"" + programFolder + "auto_update.log\" /DIR=\"" + target + "\"");
}

void TUpdateForm::dxButton2Click(TObject* Sender) {}
