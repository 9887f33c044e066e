object GridTestForm: TGridTestForm
  Left = 0
  Top = 0
  BorderStyle = bsDialog
  BorderIcons = [biSystemMenu]
  Caption = 'Grid test'
  ClientWidth = 580
  ClientHeight = 420
  Color = clBtnFace
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  Position = poDesigned
  OnCreate = FormCreate
  object Grid: TAdvStringGrid
    Left = 1
    Top = 10
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
    TabOrder = 0
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
end
