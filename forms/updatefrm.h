// The update window: the installed build date, the available updates and
// the download progress; the Update and Cancel buttons.
#pragma once

#include <string>

#include "IdHTTP.h"
#include "advgrid.h"
#include "cgauge.h"
#include "dxbutton.h"
#include "forms.h"
#include "stdctrls.h"

class TUpdateForm : public TForm {
  VCL_CLASS(TUpdateForm)
 public:
  explicit TUpdateForm(TComponent* owner);

  TdxButton* dxButton2 = nullptr;  // Update
  TdxButton* dxButton1 = nullptr;  // Cancel
  TCGauge* ProgressBar = nullptr;
  TIdHTTP* http = nullptr;
  TButton* Button1 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label3 = nullptr;
  TLabel* Label4 = nullptr;
  TLabel* Label5 = nullptr;
  TLabel* Label6 = nullptr;
  TLabel* Label7 = nullptr;
  TLabel* Label8 = nullptr;
  TLabel* DateLabel = nullptr;
  TAdvStringGrid* UpdateSg = nullptr;
  TButton* Button2 = nullptr;
  TLabel* lblLocale = nullptr;

  void dxButton2Click(TObject* Sender);
  void httpWork(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCount);
  void httpStatus(TObject* ASender, TIdStatus AStatus, const std::string& AStatusText);
  void FormShow(TObject* Sender);
  void dxButton1Click(TObject* Sender);
  void Button1Click(TObject* Sender);
  void httpWorkBegin(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCountMax);
  void Button2Click(TObject* Sender);
  void FormCreate(TObject* Sender);
};

extern TUpdateForm* UpdateForm;
// The update list as last fetched from the update server.
extern std::string UpdateListText;
