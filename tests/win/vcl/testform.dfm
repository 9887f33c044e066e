object TestForm: TTestForm
  Left = 10
  Top = 10
  BorderStyle = bsDialog
  BorderIcons = [biSystemMenu]
  Caption = 'Framework test'
  ClientWidth = 300
  ClientHeight = 200
  Color = clBtnFace
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  Position = poScreenCenter
  OnCreate = FormCreate
  OnShow = FormShow
  object Label1: TLabel
    Left = 8
    Top = 8
    Width = 120
    Height = 15
    AutoSize = False
    Caption = 'Hello'#13#10'there'
    Font.Style = [fsBold]
  end
  object Gauge: TCGauge
    Left = 8
    Top = 30
    Width = 200
    Height = 20
    ForeColor = 8404992
  end
  object SpeedA: TSpeedButton
    Left = 8
    Top = 60
    Width = 30
    Height = 30
    GroupIndex = 1
  end
  object SpeedB: TSpeedButton
    Left = 40
    Top = 60
    Width = 30
    Height = 30
    Down = True
    GroupIndex = 1
  end
  object Big: TdxButton
    Left = 8
    Top = 100
    Width = 112
    Height = 34
    Caption = 'Raise'
    Font.Height = -19
    TabOrder = 1
    TabStop = False
    OnClick = BigClick
  end
  object Ok: TButton
    Left = 140
    Top = 100
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 0
  end
end
