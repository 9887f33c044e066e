object UpdateForm: TUpdateForm
  Left = 0
  Top = 0
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Database update - new data available'
  ClientHeight = 534
  ClientWidth = 580
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Position = poScreenCenter
  OnCreate = FormCreate
  OnShow = FormShow
  object dxButton2: TdxButton
    Left = 167
    Top = 490
    Width = 112
    Height = 34
    Anchors = [akTop, akRight]
    Caption = 'Update'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -19
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    ShowFocusRect = True
    TabOrder = 0
    TabStop = False
    OnClick = dxButton2Click
  end
  object dxButton1: TdxButton
    Left = 299
    Top = 490
    Width = 112
    Height = 34
    Anchors = [akTop, akRight]
    Caption = 'Cancel'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -19
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    ShowFocusRect = True
    TabOrder = 1
    TabStop = False
    OnClick = dxButton1Click
  end
  object ProgressBar: TCGauge
    Left = 0
    Top = 4
    Width = 579
    Height = 20
    Anchors = [akLeft, akTop, akRight]
    Kind = gkHorizontalBar
    BorderStyle = bsSingle
    ForeColor = 8404992
    BackColor = clWhite
    ShowText = True
    MinValue = 0
    MaxValue = 100
    Progress = 0
  end
  object http: TIdHTTP
    Request.Accept = 'text/html, */*'
    Request.UserAgent = 'Mozilla/3.0'
    HandleRedirects = True
    AllowCookies = True
    HTTPOptions = [hoForceEncodeParams]
    ProxyParams.BasicAuthentication = True
    RecvBufferSize = 128000
    MaxLineAction = maException
    OnStatus = httpStatus
    OnWork = httpWork
    OnWorkBegin = httpWorkBegin
  end
  object Button1: TButton
    Left = -8
    Top = 328
    Width = 75
    Height = 25
    Caption = 'Button1'
    TabOrder = 2
    Visible = False
    OnClick = Button1Click
  end
  object Label2: TLabel
    Left = 0
    Top = 29
    Width = 322
    Height = 15
    AutoSize = False
    Caption = 'There are several types of updates:'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = [fsBold]
    Visible = False
    WordWrap = True
  end
  object Label1: TLabel
    Left = 0
    Top = 56
    Width = 89
    Height = 15
    AutoSize = False
    Caption = 'Usual (current)'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -13
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    Visible = False
    WordWrap = True
  end
  object Label3: TLabel
    Left = 96
    Top = 48
    Width = 406
    Height = 31
    AutoSize = False
    Caption = '- can be downloaded using this tool'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    Visible = False
    WordWrap = True
  end
  object Label4: TLabel
    Left = 1
    Top = 87
    Width = 49
    Height = 15
    AutoSize = False
    Caption = 'Critical'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clRed
    Font.Height = -13
    Font.Name = 'Arial'
    Font.Style = [fsBold, fsItalic]
    Visible = False
    WordWrap = True
  end
  object Label5: TLabel
    Left = 96
    Top = 80
    Width = 406
    Height = 31
    AutoSize = False
    Caption = 
      '- requires software to be downloaded from the website and instal' +
      'led over current version'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    Visible = False
    WordWrap = True
  end
  object Label6: TLabel
    Left = 1
    Top = 125
    Width = 82
    Height = 15
    AutoSize = False
    Caption = 'New version'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clRed
    Font.Height = -13
    Font.Name = 'Arial'
    Font.Style = [fsBold]
    Visible = False
    WordWrap = True
  end
  object Label7: TLabel
    Left = 96
    Top = 117
    Width = 406
    Height = 31
    AutoSize = False
    Caption = 
      '- new version with new featers. Should be downloaded from the we' +
      'bsite and installed over current version '
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    Visible = False
    WordWrap = True
  end
  object Label8: TLabel
    Left = 3
    Top = 59
    Width = 150
    Height = 15
    AutoSize = False
    Caption = 'Current version date is'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = [fsBold]
    WordWrap = True
  end
  object DateLabel: TLabel
    Left = 147
    Top = 59
    Width = 161
    Height = 15
    AutoSize = False
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clBlue
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = [fsBold]
    WordWrap = True
  end
  object UpdateSg: TAdvStringGrid
    Left = 1
    Top = 80
    Width = 575
    Height = 401
    Anchors = [akLeft, akTop, akBottom]
    ColCount = 3
    DefaultColWidth = 90
    DefaultRowHeight = 21
    FixedCols = 0
    RowCount = 50
    FixedRows = 1
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    GridLineWidth = 1
    GridLineColor = clSilver
    Options = [goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goThumbTracking]
    ScrollBars = ssVertical
    TabOrder = 3
    ColWidths = (
      90
      107
      357)
    ColumnHeaders.Strings = (
      'Type'
      'Date'
      'Description')
    FixedFont.Charset = DEFAULT_CHARSET
    FixedFont.Color = clWindowText
    FixedFont.Height = -11
    FixedFont.Name = 'Tahoma'
    FixedFont.Style = [fsBold]
    Look = glXP
    Banding = False
    WordWrap = True
    EnableHTML = True
    URLShow = True
    URLColor = clBlue
    ShowSelection = False
    SortOnClick = False
    MouseWheel = True
  end
  object Button2: TButton
    Left = 480
    Top = 24
    Width = 75
    Height = 25
    Caption = 'Button2'
    TabOrder = 4
    Visible = False
    OnClick = Button2Click
  end
  object lblLocale: TLabel
    Left = 3
    Top = 35
    Width = 318
    Height = 13
    AutoSize = False
    Caption = 'Current version date is'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = [fsBold]
  end
end
